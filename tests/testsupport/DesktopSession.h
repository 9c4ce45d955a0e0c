#pragma once

#include "testsupport/PrivateBus.h"

#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <vector>

namespace pelmora {

// A throw-away X11 desktop for end-to-end tests: an Xvfb display, a private
// session bus, a temporary HOME, and optionally a tray host:
//   - Tray::xfcePanel: xfce4-panel, which hosts StatusNotifierItems (and XEmbed icons);
//   - Tray::trayer: trayer, an XEmbed-only tray, top right, 32 px high.
// Every process it starts (and whatever those start) is stopped by PID in
// stop() and in the destructor; nothing is looked up by name.
//
//   DesktopSession desktop({.tray = DesktopSession::Tray::xfcePanel});
//   switch (desktop.start()) {
//   case DesktopSession::Start::unavailable: QSKIP(qPrintable(desktop.errorString()));
//   case DesktopSession::Start::failed: QFAIL(qPrintable(desktop.errorString()));
//   case DesktopSession::Start::ready: break;
//   }
//   QProcess *app = desktop.startProgram(PELMORA_BINARY, {});
//   ... desktop.trayGeometry(), desktop.click(point), desktop.screenshot(path) ...
//
// (QSKIP and QFAIL only leave the function they are written in, so keep that
// switch in the test function itself.) Programs started here get
// QT_QPA_PLATFORM=xcb, so a test running offscreen can still drive real X11
// clients. With a single item in the tray, trayGeometry().center() is that
// item. Both hosts draw icons at 22 px; xfce4-panel calls Activate(x, y) with
// the pointer's root position. About 2-3 s to start with xfce4-panel.
class DesktopSession {
public:
    enum class Tray { none, xfcePanel, trayer };
    enum class Start {
        ready,
        unavailable, // a required program is missing or cannot run here: skip
        failed,      // it ran but did not come up as expected: a real failure
    };

    struct Options {
        Tray tray = Tray::xfcePanel;
        QSize screenSize{1280, 800};
        // xfce4-panel with one top panel holding only the tray (so the tray's
        // window is easy to find and nothing else draws); false: the stock layout.
        bool trayOnlyPanel = true;
        int startTimeoutMs = 15000;
    };

    DesktopSession();
    explicit DesktopSession(Options options);
    ~DesktopSession();
    DesktopSession(const DesktopSession &) = delete;
    DesktopSession &operator=(const DesktopSession &) = delete;

    // Starts Xvfb on a free display, then the bus, then the tray host, and
    // waits until the tray is ready (for xfce4-panel: the
    // org.kde.StatusNotifierWatcher name and a visible tray window).
    Start start();
    // Stops programs, tray, bus and X server, in that order. Idempotent.
    void stop();
    QString errorString() const { return m_error; }

    QString display() const { return m_display; }   // e.g. ":3"
    QString busAddress() const { return m_bus.address(); }
    QString homePath() const { return m_home.path(); }
    // DISPLAY, DBUS_SESSION_BUS_ADDRESS, HOME, XDG_* and QT_QPA_PLATFORM=xcb for programs in this desktop.
    QProcessEnvironment environment() const { return m_environment; }

    // Starts a program in this desktop (stdout and stderr kept apart, readable
    // by the caller); it is stopped with the session. Nullptr if it cannot start.
    QProcess *startProgram(const QString &program, const QStringList &arguments = {});
    // Stops one program started above, by PID.
    void stopProgram(QProcess *process);

    // Runs a short X tool (xdotool, xwininfo, ...) against this display and
    // returns its standard output; empty when it fails.
    QByteArray runTool(const QString &program, const QStringList &arguments, int timeoutMs = 5000) const;
    // The same for a tool whose output does not matter: true when it exited with 0.
    bool runCommand(const QString &program, const QStringList &arguments, int timeoutMs = 5000) const;

    // Root-relative geometry of a window, invalid when unknown or unmapped.
    QRect windowGeometry(quint64 windowId) const;
    // Viewable windows that carry _NET_WM_PID == pid.
    QList<quint64> visibleWindowsOf(qint64 pid) const;
    // Viewable top-level windows (children of the root) and their geometry.
    QList<QPair<quint64, QRect>> topLevelWindows() const;
    // The tray host's window: xfce4-panel's systray plugin or trayer's own window.
    QRect trayGeometry() const;

    // Moves the pointer to `point` (root coordinates) and clicks `button`.
    bool click(QPoint point, int button = 1) const;
    // A PNG of the whole screen at `path` (ImageMagick's import); creates folders.
    bool screenshot(const QString &path) const;

    // Bus names seen by the StatusNotifierWatcher (its RegisteredStatusNotifierItems).
    QStringList registeredStatusNotifierItems() const;
    bool hasBusName(const QString &name) const;

    qint64 xServerPid() const { return m_xserver.processId(); }
    qint64 trayPid() const { return m_tray ? m_tray->processId() : 0; }

private:
    Start startXServer();
    Start startTray();
    bool writePanelConfig() const;
    qint64 trayWindowOwnerPid() const;

    Options m_options;
    QTemporaryDir m_home;
    QProcess m_xserver;
    PrivateBus m_bus;
    std::unique_ptr<QProcess> m_tray;
    std::vector<std::unique_ptr<QProcess>> m_programs;
    QString m_display;
    mutable QString m_busConnectionName; // opened on first use
    QProcessEnvironment m_environment;
    QString m_error;
};

} // namespace pelmora
