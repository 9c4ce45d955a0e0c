// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "testsupport/PrivateBus.h"

#include <QDBusMessage>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace pelmora {

// How starting a throw-away desktop went. unavailable: a required program is
// missing or cannot run here (the test skips); failed: it misbehaved.
enum class SessionStart { ready, unavailable, failed };

// Polls `condition` every `stepMs` until it holds (true), or until `timeoutMs`
// pass or `alive`, when given, is no longer running (false).
bool waitUntil(const std::function<bool()> &condition, int timeoutMs, const QProcess *alive = nullptr, int stepMs = 50);

// What every throw-away desktop has: a temporary HOME with its own runtime
// folder, a private session bus (and a system bus for GNOME Shell), the
// environment its programs get, and the programs it started, each stopped by
// PID with whatever it started in turn.
class HeadlessSession {
public:
    using Start = SessionStart;
    virtual ~HeadlessSession() = default;
    HeadlessSession(const HeadlessSession &) = delete;
    HeadlessSession &operator=(const HeadlessSession &) = delete;

    QString errorString() const { return m_error; }
    QProcessEnvironment environment() const { return m_environment; }
    QString home() const { return m_home.path(); }
    QString busAddress() const { return m_bus.address(); }

    // Runs a short tool against the session: its standard output when it exited with 0.
    std::optional<QByteArray> runTool(const QString &program, const QStringList &arguments, int timeoutMs = 5000) const;
    virtual QImage grab() const = 0; // a screenshot, null on failure
    bool screenshot(const QString &path) const;
    QStringList registeredStatusNotifierItems() const;
    // A property read over the session bus; invalid when it cannot be read.
    QVariant busProperty(const QString &service, const QString &path, const QString &interface, const QString &name,
                         int timeoutMs = 5000) const;

protected:
    HeadlessSession() = default;

    Start fail(Start kind, const QString &why);
    // The temporary HOME and its runtime folder (0700); false when they cannot be made.
    bool makeHome();
    // The variables that put a program's files into the temporary HOME.
    QProcessEnvironment homeEnvironment(QProcessEnvironment base) const;
    // Starts `program` with the session's environment (or `env`), as the
    // session's user, its output appended to `log` in HOME when one is named.
    // Null, with the reason in errorString(), when it does not start.
    std::unique_ptr<QProcess> spawn(const QString &program, const QStringList &arguments, const QString &log = {},
                                    const std::optional<QProcessEnvironment> &env = std::nullopt);
    QProcess *keep(std::unique_ptr<QProcess> process);
    // Stops the programs, then `services` in this order, and both buses.
    void stopAll(std::initializer_list<std::unique_ptr<QProcess> *> services);
    static void stopProcess(QProcess &process);
    static bool writeFile(const QString &path, const QByteArray &text);
    QString logTail(const QString &log, int chars = 800) const;
    static QImage fromPng(const std::optional<QByteArray> &png);

    bool hasBusName(const QString &name) const;
    QDBusMessage callBus(const QDBusMessage &message, int timeoutMs = 5000) const;
    bool trayHostRegistered() const;

    // GNOME Shell: its settings (the AppIndicator extension on, no welcome
    // dialog) and a system bus of its own, both put into `env`; unavailable
    // without the extension.
    Start prepareGnomeShell(QProcessEnvironment &env, const PrivateBus::Launch &systemBus);
    // GNOME Shell ends its start-up in its overview, which hides every window:
    // waits for it (briefly: a version may not), leaves it, and makes sure it stays left.
    bool leaveOverview() const;
    // Plasma's watcher lives in kded5, which outside a real login may leave
    // its session modules alone: started, and asked for the watcher.
    Start startKded(std::unique_ptr<QProcess> &kded);

    QTemporaryDir m_home;
    PrivateBus m_bus;
    PrivateBus m_systemBus;
    std::vector<std::unique_ptr<QProcess>> m_programs;
    QProcessEnvironment m_environment;
    std::function<void()> m_becomeUser; // for every program started; none when empty
    QString m_workingDirectory; // of every program started; the test's own when empty
    mutable QString m_busConnectionName;
    QString m_error;
};

} // namespace pelmora

// Starts `session` in a test function: skips when it cannot run here, fails when it misbehaves.
#define START_SESSION_OR_SKIP(session)                                                                                 \
    do {                                                                                                               \
        const auto started_ = (session).start();                                                                       \
        if (started_ == pelmora::SessionStart::unavailable)                                                            \
            QSKIP(qPrintable((session).errorString()));                                                                \
        QVERIFY2(started_ == pelmora::SessionStart::ready, qPrintable((session).errorString()));                       \
    } while (false)
