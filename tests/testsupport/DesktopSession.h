// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "testsupport/PrivateBus.h"

#include <QList>
#include <QProcess>
#include <QRect>
#include <QTemporaryDir>

#include <memory>
#include <optional>
#include <vector>

namespace pelmora {

// A throw-away X11 desktop: Xvfb (1280x800), a private session bus, a
// temporary HOME, optionally a window manager (openbox), and optionally a
// tray host (xfce4-panel, which hosts StatusNotifierItems, or trayer, XEmbed
// only, top right). Everything it starts is stopped by PID. Programs started
// here get QT_QPA_PLATFORM=xcb.
class DesktopSession {
public:
    enum class Tray { none, xfcePanel, trayer };
    enum class WindowManager { none, openbox };
    // unavailable: a required program is missing or cannot run here (skip).
    enum class Start { ready, unavailable, failed };
    struct Options {
        Tray tray = Tray::xfcePanel;
        bool trayOnlyPanel = true; // xfce4-panel: one top panel holding only the tray; false: the stock layout
        WindowManager windowManager = WindowManager::none;
    };

    explicit DesktopSession(Options options);
    ~DesktopSession();
    DesktopSession(const DesktopSession &) = delete;
    DesktopSession &operator=(const DesktopSession &) = delete;

    // Starts X, bus and tray host, and waits until the tray is mapped.
    Start start();
    void stop();
    QString errorString() const { return m_error; }
    QString busAddress() const { return m_bus.address(); }
    QProcessEnvironment environment() const { return m_environment; }

    // Starts a program in this desktop, stopped with the session; nullptr if it cannot start.
    QProcess *startProgram(const QString &program, const QStringList &arguments = {});
    // Runs a short tool (xdotool, ...) against this display: true when it exited with 0.
    bool runCommand(const QString &program, const QStringList &arguments) const { return runTool(program, arguments).has_value(); }

    QRect windowGeometry(quint64 windowId) const; // invalid when unknown or unmapped
    QList<quint64> visibleWindowsOf(qint64 pid) const;
    QList<QPair<quint64, QRect>> topLevelWindows() const;
    QRect trayGeometry() const; // the tray host's tray window
    bool click(QPoint point, int button = 1) const;
    bool screenshot(const QString &path) const;
    QStringList registeredStatusNotifierItems() const;

private:
    Start fail(Start kind, const QString &why);
    Start startTray(const QString &program);
    Start startWindowManager();
    std::optional<QByteArray> runTool(const QString &program, const QStringList &arguments, int timeoutMs = 5000) const;
    bool hasBusName(const QString &name) const;

    Options m_options;
    QTemporaryDir m_home;
    QProcess m_xserver;
    PrivateBus m_bus;
    std::unique_ptr<QProcess> m_tray;
    std::unique_ptr<QProcess> m_windowManager;
    std::vector<std::unique_ptr<QProcess>> m_programs;
    mutable QString m_busConnectionName;
    QProcessEnvironment m_environment;
    QString m_error;
};

} // namespace pelmora

// Starts `desktop` in a test function: skips when it cannot run here, fails when it misbehaves.
#define START_DESKTOP_OR_SKIP(desktop)                                                                                 \
    do {                                                                                                               \
        const auto started_ = (desktop).start();                                                                       \
        if (started_ == pelmora::DesktopSession::Start::unavailable)                                                  \
            QSKIP(qPrintable((desktop).errorString()));                                                                \
        QVERIFY2(started_ == pelmora::DesktopSession::Start::ready, qPrintable((desktop).errorString()));              \
    } while (false)
