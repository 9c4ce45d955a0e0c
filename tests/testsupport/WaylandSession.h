// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "testsupport/PrivateBus.h"
#include "testsupport/SessionStart.h"
#include "testsupport/SessionUser.h"

#include <QDBusMessage>
#include <QElapsedTimer>
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
// its desktop shell (no tray, no input devices). XWayland on request. For the
// host matrix also KWin with Plasma (kded5's watcher, plasmashell's stock
// bottom panel; pelmora_seat through KWin's fake input) and GNOME Shell with
// the AppIndicator extension (keys through Mutter's remote-desktop API), both
// with XWayland.
// Run as root, everything runs as a user made for the session (sway refuses
// root). Programs started here get the session's environment and no
// QT_QPA_PLATFORM; everything started is stopped by PID.
class WaylandSession {
public:
    enum class Compositor { sway, weston, kwin, gnomeShell };
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
    std::optional<QByteArray> runTool(const QString &program, const QStringList &arguments,
                                      int timeoutMs = 10000) const;

    QImage grab() const; // a screenshot, null on failure
    bool screenshot(const QString &path) const;
    QStringList registeredStatusNotifierItems() const;
    QVariant busProperty(const QString &service, const QString &path, const QString &interface,
                         const QString &name) const;

    // sway and KWin (through a KWin script) only.
    struct View {
        qint64 pid = 0;
        QString appId; // the X11 class for an XWayland window
        QString title;
        QRect rect; // the window's content, in layout coordinates
        bool focused = false;
        bool skipsTaskbar = false; // KWin only
    };
    QList<View> views() const;
    // The focused workspace's area: the screen less the bar (sway only).
    QRect freeArea() const;
    // Through the session's own pointer and keyboard (pelmora_seat: sway,
    // KWin); GNOME: through Mutter's remote-desktop session. Clicks on one
    // spot are spaced as a user's two single clicks are: never a double click.
    bool click(QPoint point);
    bool type(const QString &text);
    bool keys(const QStringList &names);

private:
    Start fail(Start kind, const QString &why);
    Start startSway();
    Start startWeston();
    Start startKwin();
    Start startGnomeShell();
    Start startSeat();
    QProcess *startHelper(const QString &program, const QStringList &arguments, const QString &log);
    bool hasBusName(const QString &name) const;
    QDBusMessage callBus(const QDBusMessage &message, int timeoutMs = 5000) const;
    QList<View> kwinViews() const;
    QImage grabKwin() const;
    QImage grabGnomeShell() const;
    bool gnomeKeysyms(const QList<quint32> &keysyms);
    bool seatCommand(const QString &command);
    QByteArray swayRequest(int type, const QByteArray &payload = {}) const;

    Options m_options;
    QTemporaryDir m_home;
    SessionUser m_user;
    PrivateBus m_bus;
    PrivateBus m_systemBus; // GNOME Shell wants one
    QString m_remoteDesktop; // GNOME: the started remote-desktop session's path
    std::unique_ptr<QProcess> m_compositor;
    std::unique_ptr<QProcess> m_seat;
    QElapsedTimer m_sinceClick;
    QPoint m_lastClick;
    std::vector<std::unique_ptr<QProcess>> m_programs;
    QProcessEnvironment m_environment;
    mutable QString m_busConnectionName;
    QString m_error;
};

} // namespace pelmora
