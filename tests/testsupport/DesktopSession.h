// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "testsupport/PrivateBus.h"
#include "testsupport/SessionStart.h"

#include <QDBusMessage>
#include <QImage>
#include <QList>
#include <QProcess>
#include <QRect>
#include <QRgb>
#include <QTemporaryDir>

#include <memory>
#include <optional>
#include <vector>

namespace pelmora {

// A throw-away X11 desktop: Xvfb (1280x800), a private session bus, a
// temporary HOME, optionally a window manager (openbox), and optionally a
// tray host: xfce4-panel (StatusNotifierItems and XEmbed), lxqt-panel with its
// statusnotifier plugin, KDE Plasma (plasmashell with its stock bottom panel,
// the watcher in kded5), GNOME Shell with the AppIndicator extension (on a
// private system bus too, taken out of the overview it starts in), or trayer
// (XEmbed only, top right). LXQt and Plasma always get openbox. The other
// panels sit at the top. Everything it starts is stopped by PID. Programs
// started here get QT_QPA_PLATFORM=xcb.
class DesktopSession {
public:
    enum class Tray { none, xfcePanel, trayer, lxqtPanel, plasma, gnomeShell };
    enum class WindowManager { none, openbox };
    using Start = SessionStart;
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
    ~DesktopSession();
    DesktopSession(const DesktopSession &) = delete;
    DesktopSession &operator=(const DesktopSession &) = delete;

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
    QString errorString() const { return m_error; }
    QString busAddress() const { return m_bus.address(); }
    QProcessEnvironment environment() const { return m_environment; }

    // Starts a program in this desktop, stopped with the session; nullptr if it cannot start.
    QProcess *startProgram(const QString &program, const QStringList &arguments = {});
    // Runs a short tool (xdotool, ...) against this display: its standard output when it exited with 0.
    std::optional<QByteArray> runTool(const QString &program, const QStringList &arguments, int timeoutMs = 5000) const;
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
    bool screenshot(const QString &path) const;
    QStringList registeredStatusNotifierItems() const;
    // A property read over the session bus; invalid when it cannot be read.
    QVariant busProperty(const QString &service, const QString &path, const QString &interface, const QString &name,
                         int timeoutMs = 5000) const;
    // The bounding boxes of the connected patches of pixels within `tolerance`
    // of `colour` inside `area` of `shot` (a fresh screenshot when null),
    // largest first.
    QList<QRect> findPatches(const QRect &area, QRgb colour, int tolerance = 6, QImage shot = {}) const;
    // The square patches (sides from minSide to maxSide) of any of `colours`
    // inside `area`, leaving out those that enclose another: a badge drawn
    // on a panel of its own colour is parted from it by its edge.
    QList<QRect> findSquares(const QRect &area, const QList<QRgb> &colours, int minSide, int maxSide,
                             QImage shot = {}) const;
    QImage grab() const; // a screenshot, null on failure
    // Whether the screen shows the window's own pixels where the window is (a
    // compositor may map a window and not draw it).
    bool isOnScreen(quint64 windowId) const;

private:
    Start fail(Start kind, const QString &why);
    Start startTray(const QString &program);
    Start startWindowManager();
    Start startWatcher();
    bool leaveOverview() const;
    bool hostReady() const;
    // The largest visible window of `pid` inside `within` (anywhere when null) and at most `maxHeight` high.
    QRect largestWindow(qint64 pid, const QRect &within = {}, int maxHeight = 1 << 20) const;
    QStringList hostArguments() const;
    bool hasBusName(const QString &name) const;
    QDBusMessage callBus(const QDBusMessage &message, int timeoutMs = 5000) const;

    Options m_options;
    QTemporaryDir m_home;
    QProcess m_xserver;
    PrivateBus m_bus;
    std::unique_ptr<QProcess> m_tray;
    std::unique_ptr<QProcess> m_windowManager; // kept across host restarts
    std::unique_ptr<QProcess> m_watcher; // Plasma's kded5
    PrivateBus m_systemBus; // GNOME Shell wants a system bus
    std::vector<std::unique_ptr<QProcess>> m_programs;
    mutable QString m_busConnectionName;
    QProcessEnvironment m_environment;
    QString m_error;
};

} // namespace pelmora

#define START_DESKTOP_OR_SKIP(desktop) START_SESSION_OR_SKIP(desktop)
