// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "testsupport/HeadlessSession.h"

#include <QList>
#include <QRect>
#include <QRgb>

namespace pelmora {

// A throw-away X11 desktop: Xvfb (1280x800), a private session bus, a
// temporary HOME, optionally a window manager (openbox), and optionally a
// tray host: xfce4-panel (StatusNotifierItems and XEmbed), lxqt-panel with its
// statusnotifier plugin, KDE Plasma (plasmashell with its stock bottom panel,
// the watcher in kded5), GNOME Shell with the AppIndicator extension (on a
// private system bus too, taken out of the overview it starts in), or trayer
// (XEmbed only, top right). LXQt and Plasma always get openbox. The other
// panels sit at the top. Programs started here get QT_QPA_PLATFORM=xcb.
class DesktopSession : public HeadlessSession {
public:
    enum class Tray { none, xfcePanel, trayer, lxqtPanel, plasma, gnomeShell };
    enum class WindowManager { none, openbox };
    struct Options {
        Tray tray = Tray::xfcePanel;
        bool trayOnlyPanel = true; // xfce4-panel: one top panel holding only the tray; false: the stock layout
        WindowManager windowManager = WindowManager::none;
        // xfce4-panel and lxqt-panel: the icon size the tray asks for (0: 22 px in a 32 px panel), and
        // a device pixel ratio for the panel (GDK_SCALE, QT_SCALE_FACTOR; 1: none).
        int iconSize = 0;
        int scale = 1;
        int trayerHeight = 32; // trayer's strip, which it reserves (with a window manager)
    };

    explicit DesktopSession(Options options);
    ~DesktopSession() override;

    // Starts X, bus and tray host, and waits until the tray is mapped.
    Start start();
    void stop();
    // Ends the tray host (its own processes, by PID) and starts it again,
    // waiting until it is ready as in start(). Whatever else runs stays. On
    // Plasma the watcher (kded5) restarts too, so items must register again.
    Start restartTray();
    // Whether the host shows StatusNotifierItems (else XEmbed icons).
    bool hostsStatusNotifierItems() const;
    static QString trayName(Tray tray);

    // Starts a program in this desktop, stopped with the session; nullptr if it cannot start.
    QProcess *startProgram(const QString &program, const QStringList &arguments = {})
    {
        return keep(spawn(program, arguments));
    }
    bool runCommand(const QString &program, const QStringList &arguments) const
    {
        return runTool(program, arguments).has_value();
    }

    QRect windowGeometry(quint64 windowId) const; // invalid when unknown or unmapped
    QList<quint64> visibleWindowsOf(qint64 pid) const;
    // The first visible window of `pid` that is `width` wide, and its geometry; {0, {}} if none.
    QPair<quint64, QRect> visibleWindowOfWidth(qint64 pid, int width) const;
    QList<QPair<quint64, QRect>> topLevelWindows() const;
    QRect trayGeometry() const; // the tray host's tray window
    // The screen less the host's bar: _NET_WORKAREA where a window manager
    // sets it, else less the strip along the screen's edge that the bar's
    // window takes.
    QRect freeArea() const;
    bool click(QPoint point, int button = 1) const;
    // pelmora::findPatches and findSquares (ScreenPatches.h) on `shot`, or on a fresh screenshot when it is null.
    QList<QRect> findPatches(const QRect &area, QRgb colour, int tolerance = 6, QImage shot = {}) const;
    QList<QRect> findSquares(const QRect &area, const QList<QRgb> &colours, int minSide, int maxSide,
                             QImage shot = {}) const;
    QImage grab() const override;
    // Whether the screen shows the window's own pixels where the window is (a
    // compositor may map a window and not draw it).
    bool isOnScreen(quint64 windowId) const;

private:
    Start startTray(const QString &program);
    Start startWindowManager();
    bool hostReady() const;
    // The largest visible window of `pid` inside `within` (anywhere when null) and at most `maxHeight` high.
    QRect largestWindow(qint64 pid, const QRect &within = {}, int maxHeight = 1 << 20) const;
    QStringList hostArguments() const;

    Options m_options;
    QProcess m_xserver;
    std::unique_ptr<QProcess> m_tray;
    std::unique_ptr<QProcess> m_windowManager; // kept across host restarts
    std::unique_ptr<QProcess> m_watcher; // Plasma's kded5
};

} // namespace pelmora

#define START_DESKTOP_OR_SKIP(desktop) START_SESSION_OR_SKIP(desktop)
