// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "testsupport/PrivateBus.h"
#include "testsupport/SessionStart.h"
#include "testsupport/SessionUser.h"

#include <QImage>
#include <QList>
#include <QProcess>
#include <QRect>
#include <QTemporaryDir>
#include <QVariant>

#include <memory>
#include <optional>
#include <vector>

namespace pelmora {

// A throw-away Wayland desktop, headless, 1280x800, on a private session bus
// and a temporary HOME: sway with waybar as its bar (its tray module is the
// StatusNotifierItem host; one bar at the top holding only the tray, on the
// right) and a pointer and keyboard of its own (pelmora_seat), or weston with
// its desktop shell (no tray, no input devices). XWayland on request. Run as
// root, everything runs as a user made for the session (sway refuses root).
// Programs started here get the session's environment and no
// QT_QPA_PLATFORM; everything started is stopped by PID.
class WaylandSession {
public:
    enum class Compositor { sway, weston };
    using Start = SessionStart;
    struct Options {
        Compositor compositor = Compositor::sway;
        bool xwayland = false;
    };
    static constexpr QSize screenSize{1280, 800};

    explicit WaylandSession(Options options);
    ~WaylandSession();
    WaylandSession(const WaylandSession &) = delete;
    WaylandSession &operator=(const WaylandSession &) = delete;

    Start start();
    void stop();
    QString errorString() const { return m_error; }
    QProcessEnvironment environment() const { return m_environment; }
    QString home() const { return m_home.path(); }
    QString busAddress() const { return m_bus.address(); }

    // Starts a program in the session as the session's user, stopped with it;
    // nullptr if it cannot start. `extra` adds to the environment.
    QProcess *startProgram(const QString &program, const QStringList &arguments = {},
                           const QProcessEnvironment &extra = {});
    // Runs a short tool against the session: its standard output when it exited with 0.
    std::optional<QByteArray> runTool(const QString &program, const QStringList &arguments, int timeoutMs = 10000) const;

    QImage grab() const; // a screenshot, null on failure
    bool screenshot(const QString &path) const;
    QStringList registeredStatusNotifierItems() const;
    QVariant busProperty(const QString &service, const QString &path, const QString &interface,
                         const QString &name) const;

    // sway only.
    struct View {
        qint64 pid = 0;
        QString appId; // the X11 class for an XWayland window
        QString title;
        QRect rect;    // the window's content, in layout coordinates
        bool focused = false;
    };
    QList<View> views() const;
    // The focused workspace's area: the screen less the bar.
    QRect freeArea() const;
    // Through the session's own pointer and keyboard (pelmora_seat).
    bool click(QPoint point);
    bool type(const QString &text);
    bool keys(const QStringList &names);

private:
    Start fail(Start kind, const QString &why);
    Start startSway();
    Start startWeston();
    bool seatCommand(const QString &command);
    QByteArray swayRequest(int type, const QByteArray &payload = {}) const;

    Options m_options;
    QTemporaryDir m_home;
    SessionUser m_user;
    PrivateBus m_bus;
    std::unique_ptr<QProcess> m_compositor;
    std::unique_ptr<QProcess> m_seat;
    std::vector<std::unique_ptr<QProcess>> m_programs;
    QProcessEnvironment m_environment;
    mutable QString m_busConnectionName;
    QString m_error;
};

} // namespace pelmora
