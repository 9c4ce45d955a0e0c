// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "testsupport/HeadlessSession.h"
#include "testsupport/OtherUser.h"

#include <QElapsedTimer>
#include <QList>
#include <QRect>

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
// QT_QPA_PLATFORM.
class WaylandSession : public HeadlessSession {
public:
    enum class Compositor { sway, weston, kwin, gnomeShell };
    struct Options {
        Compositor compositor = Compositor::sway;
        bool xwayland = false;
    };
    static constexpr QSize screenSize{1280, 800};

    explicit WaylandSession(Options options);
    ~WaylandSession() override;

    Start start();
    void stop();

    // Starts a program in the session as the session's user, stopped with it;
    // nullptr if it cannot start. `extra` adds to the environment.
    QProcess *startProgram(const QString &program, const QStringList &arguments = {},
                           const QProcessEnvironment &extra = {});
    QImage grab() const override;

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
    Start startSway();
    Start startWeston();
    Start startKwin();
    Start startGnomeShell();
    Start startSeat();
    QList<View> kwinViews() const;
    QImage grabKwin() const;
    QImage grabGnomeShell() const;
    bool gnomeKeysyms(const QList<quint32> &keysyms);
    bool seatCommand(const QString &command);
    QByteArray swayRequest(int type, const QByteArray &payload = {}) const;
    // Gives `path` (and what is in it) to the session's user.
    bool own(const QString &path) const;

    Options m_options;
    std::optional<OtherUser> m_user; // run as root: the session's own
    QString m_remoteDesktop; // GNOME: the started remote-desktop session's path
    std::unique_ptr<QProcess> m_compositor;
    std::unique_ptr<QProcess> m_seat;
    QElapsedTimer m_sinceClick;
    QPoint m_lastClick;
};

} // namespace pelmora
