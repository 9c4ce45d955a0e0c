// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "DesktopSession.h"

#include "ProcessTree.h"
#include "ScreenPatches.h"

#include <QtCore>

namespace pelmora {
namespace {

const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");

// One top panel, as short as its content, holding only the tray. %1: the
// panel's size, %2: whether icons fill the panel's row, %3: their size otherwise.
const char *trayOnlyPanel = R"(<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0"><property name="configver" type="int" value="2"/>
  <property name="panels" type="array"><value type="int" value="1"/><property name="panel-1" type="empty">
    <property name="position" type="string" value="p=6;x=0;y=0"/><property name="length" type="uint" value="1"/>
    <property name="length-adjust" type="bool" value="true"/><property name="size" type="uint" value="%1"/>
    <property name="position-locked" type="bool" value="true"/>
    <property name="plugin-ids" type="array"><value type="int" value="1"/></property></property></property>
  <property name="plugins" type="empty"><property name="plugin-1" type="string" value="systray">
    <property name="square-icons" type="bool" value="%2"/><property name="icon-size" type="int" value="%3"/>
  </property></property></channel>
)";

// One top panel holding only the status-notifier area; %1: the icon size, %2: the panel's.
const char *lxqtPanel = R"([General]
panels=panel1

[panel1]
alignment=0
desktop=0
iconSize=%1
lineCount=1
panelSize=%2
position=Top
plugins=statusnotifier
width=100
width-percent=true

[statusnotifier]
type=statusnotifier
)";

} // namespace

DesktopSession::DesktopSession(Options options) : m_options(options)
{
}

DesktopSession::~DesktopSession()
{
    stop();
}

QString DesktopSession::trayName(Tray tray)
{
    static const char *const names[] = {"no tray", "xfce4-panel", "trayer", "lxqt-panel", "plasmashell", "gnome-shell"};
    return QLatin1String(names[int(tray)]);
}

bool DesktopSession::hostsStatusNotifierItems() const
{
    return m_options.tray != Tray::none && m_options.tray != Tray::trayer;
}

DesktopSession::Start DesktopSession::start()
{
    stop();
    const Tray host = m_options.tray;
    const bool xfce = host == Tray::xfcePanel;
    const QString trayProgram = host == Tray::none ? QString() : trayName(host);
    // LXQt's panel and Plasma's shell leave placing their panels to a window manager.
    const bool openbox = m_options.windowManager == WindowManager::openbox || host == Tray::lxqtPanel
        || host == Tray::plasma;
    QStringList tools{"Xvfb", "xdotool", "xwininfo", trayProgram};
    if (openbox)
        tools << "openbox";
    if (host == Tray::plasma)
        tools << "kded5";
    // plasmashell aborts without the activity manager, which the bus starts.
    if (host == Tray::plasma && !QFileInfo::exists("/usr/share/dbus-1/services/org.kde.ActivityManager.service"))
        return fail(Start::unavailable, "kactivitymanagerd is not installed");
    for (const QString &tool : tools)
        if (!tool.isEmpty() && QStandardPaths::findExecutable(tool).isEmpty())
            return fail(Start::unavailable, tool + " is not installed");
    const QString home = m_home.path();
    if (!makeHome())
        return fail(Start::failed, "cannot create a temporary home");
    // -displayfd: the server picks a free display and prints it once it is ready.
    // -noreset: without a panel, the server would reset whenever its last
    // client (a probe such as xwininfo) leaves, refusing whoever connects then.
    QStringList xArguments{"-displayfd", "1", "-screen", "0", "1280x800x24", "-nolisten", "tcp", "-noreset"};
    if (host == Tray::gnomeShell)
        xArguments << "+extension"
                   << "GLX"; // the shell's compositor draws with OpenGL (llvmpipe)
    m_xserver.start("Xvfb", xArguments);
    for (const QDeadlineTimer deadline(10000); m_xserver.waitForStarted(5000) && !m_xserver.canReadLine()
         && m_xserver.state() == QProcess::Running && !deadline.hasExpired();)
        m_xserver.waitForReadyRead(100);
    bool numeric = false;
    const int display = QString::fromLatin1(m_xserver.readLine()).trimmed().toInt(&numeric);
    if (!numeric)
        return fail(Start::unavailable,
                    "Xvfb did not come up: " + m_xserver.errorString() + " "
                        + QString::fromLocal8Bit(m_xserver.readAllStandardError()).trimmed().right(400));

    QProcessEnvironment env = homeEnvironment(QProcessEnvironment::systemEnvironment());
    for (const char *name :
         {"WAYLAND_DISPLAY", "SESSION_MANAGER", "DBUS_SESSION_BUS_ADDRESS", "XDG_SESSION_TYPE", "XDG_CURRENT_DESKTOP",
          "DESKTOP_SESSION", "QT_QPA_PLATFORMTHEME", "DBUS_SYSTEM_BUS_ADDRESS"})
        env.remove(QLatin1String(name));
    env.insert("DISPLAY", QStringLiteral(":%1").arg(display));
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("XDG_CURRENT_DESKTOP",
               xfce                          ? "XFCE"
                   : host == Tray::lxqtPanel ? "LXQt"
                   : host == Tray::plasma    ? "KDE"
                                             : "");
    if (host == Tray::gnomeShell) {
        env.insert("XDG_SESSION_TYPE", "x11");
        if (const Start prepared = prepareGnomeShell(env, {}); prepared != Start::ready)
            return prepared;
    }
    if (host == Tray::plasma) {
        // kded5 loads a session's modules, the watcher among them, only in a Plasma 5 session.
        env.insert("KDE_FULL_SESSION", "true");
        env.insert("KDE_SESSION_VERSION", "5");
    }
    if (m_options.scale > 1) {
        env.insert("GDK_SCALE", QString::number(m_options.scale));
        env.insert("QT_SCALE_FACTOR", QString::number(m_options.scale));
    }
    // The panel's settings daemon is started by the bus, so the config must be there first.
    const int iconSize = m_options.iconSize > 0 ? m_options.iconSize : 22;
    if (xfce && m_options.trayOnlyPanel
        && !writeFile(home + "/.config/xfce4/xfconf/xfce-perchannel-xml/xfce4-panel.xml",
                      QString::fromLatin1(trayOnlyPanel)
                          .arg(m_options.iconSize > 0 ? iconSize + 10 : 32)
                          .arg(m_options.iconSize > 0 ? "false" : "true")
                          .arg(iconSize)
                          .toUtf8()))
        return fail(Start::failed, "cannot write the panel configuration");
    if (host == Tray::lxqtPanel
        && !writeFile(home + "/.config/lxqt/panel.conf",
                      QString::fromLatin1(lxqtPanel).arg(iconSize).arg(iconSize + 10).toUtf8()))
        return fail(Start::failed, "cannot write the panel configuration");
    if (!m_bus.start(env))
        return fail(Start::unavailable, m_bus.errorString());
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_bus.address());
    m_environment = env;
    if (!waitUntil([this] { return runTool("xwininfo", {"-root"}).has_value(); }, 5000, &m_xserver))
        return fail(Start::failed, "no client can connect to Xvfb on " + env.value("DISPLAY"));
    if (openbox)
        if (const Start wm = startWindowManager(); wm != Start::ready)
            return wm;
    if (trayProgram.isEmpty())
        return Start::ready;
    if (host == Tray::plasma)
        if (const Start watcher = startKded(m_watcher); watcher != Start::ready)
            return watcher;
    Start tray = startTray(trayProgram);
    if (tray == Start::failed && m_tray->state() == QProcess::Running) {
        // Seen on a loaded machine: a tray host that runs but never maps its tray. One fresh start.
        const QString first = m_error + "; windows: "
            + QString::fromLocal8Bit(runTool("xwininfo", {"-root", "-tree"}).value_or("")).simplified().left(600);
        stopProcess(*m_tray);
        if ((tray = startTray(trayProgram)) != Start::ready)
            m_error = first + " | second start: " + m_error;
        else
            qWarning("DesktopSession: the tray host needed a second start (%s)", qPrintable(first));
    }
    return tray;
}

DesktopSession::Start DesktopSession::restartTray()
{
    if (!m_tray)
        return fail(Start::failed, "no tray host to restart");
    stopProcess(*m_tray);
    if (m_watcher) {
        stopProcess(*m_watcher);
        if (const Start watcher = startKded(m_watcher); watcher != Start::ready)
            return watcher;
    }
    return startTray(trayName(m_options.tray));
}

QStringList DesktopSession::hostArguments() const
{
    switch (m_options.tray) {
    case Tray::xfcePanel:
        return {"--disable-wm-check"};
    case Tray::trayer:
        return QStringLiteral("--edge top --align right --widthtype pixel --width 120 --SetDockType true "
                              "--SetPartialStrut true --height")
                   .split(u' ')
            << QString::number(m_options.trayerHeight);
    case Tray::gnomeShell:
        return {"--x11", "--replace"};
    default:
        return {};
    }
}

bool DesktopSession::hostReady() const
{
    switch (m_options.tray) {
    case Tray::xfcePanel:
    case Tray::lxqtPanel:
        return hasBusName(watcherService) && trayGeometry().isValid();
    case Tray::trayer:
        return trayGeometry().isValid();
    case Tray::plasma:
        return hasBusName(watcherService) && trayGeometry().isValid() && trayHostRegistered();
    case Tray::gnomeShell:
        return hasBusName(watcherService) && hasBusName("org.gnome.Shell");
    case Tray::none:
        return true;
    }
    return false;
}

DesktopSession::Start DesktopSession::startTray(const QString &program)
{
    if (!(m_tray = spawn(program, hostArguments(), program + ".log")))
        return Start::unavailable;
    const bool heavy = m_options.tray == Tray::plasma || m_options.tray == Tray::gnomeShell;
    if (!waitUntil([this] { return hostReady(); }, heavy ? 60000 : 15000, m_tray.get()))
        return fail(Start::failed,
                    m_tray->state() == QProcess::Running
                        ? program + " showed no tray in time"
                        : program + " exited at start: " + logTail(program + ".log", 600));
    if (m_options.tray == Tray::gnomeShell && !leaveOverview())
        return fail(Start::failed, "GNOME Shell stayed in its overview");
    return Start::ready;
}

DesktopSession::Start DesktopSession::startWindowManager()
{
    if (!(m_windowManager = spawn("openbox", {"--sm-disable"}, "openbox.log")))
        return Start::unavailable;
    // Managing once its check window is on the root window (EWMH).
    if (waitUntil(
            [this] {
                return runTool("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"}).value_or("").contains("window id");
            },
            15000, m_windowManager.get()))
        return Start::ready;
    return fail(Start::failed,
                m_windowManager->state() == QProcess::Running ? "openbox did not manage the screen within 15 s"
                                                              : "openbox exited at start");
}

void DesktopSession::stop()
{
    stopAll({&m_tray, &m_watcher, &m_windowManager});
    stopProcess(m_xserver);
}

QRect DesktopSession::windowGeometry(quint64 windowId) const
{
    const QString info = QString::fromLocal8Bit(runTool("xwininfo", {"-id", QString::number(windowId)}).value_or(""));
    if (!info.contains(QLatin1String("IsViewable")))
        return {};
    auto field = [&info](const char *name) {
        const auto match = QRegularExpression(QStringLiteral("%1:\\s*(-?\\d+)").arg(QLatin1String(name))).match(info);
        return match.hasMatch() ? match.captured(1).toInt() : -1;
    };
    const QRect rect(field("Absolute upper-left X"), field("Absolute upper-left Y"), field("Width"), field("Height"));
    return rect.width() > 0 && rect.height() > 0 ? rect : QRect();
}

QList<quint64> DesktopSession::visibleWindowsOf(qint64 pid) const
{
    QList<quint64> windows;
    for (const QByteArray &line :
         runTool("xdotool", {"search", "--onlyvisible", "--pid", QString::number(pid)}).value_or("").split('\n')) {
        bool ok = false;
        if (const quint64 id = line.trimmed().toULongLong(&ok); ok)
            windows.append(id);
    }
    return windows;
}

QPair<quint64, QRect> DesktopSession::visibleWindowOfWidth(qint64 pid, int width) const
{
    for (quint64 id : visibleWindowsOf(pid))
        if (const QRect geometry = windowGeometry(id); geometry.width() == width)
            return {id, geometry};
    return {};
}

QList<QPair<quint64, QRect>> DesktopSession::topLevelWindows() const
{
    QList<QPair<quint64, QRect>> windows;
    static const QRegularExpression child(QStringLiteral("^\\s+(0x[0-9a-f]+) "), QRegularExpression::MultilineOption);
    for (auto it = child.globalMatch(QString::fromLocal8Bit(runTool("xwininfo", {"-root", "-children"}).value_or("")));
         it.hasNext();) {
        const quint64 id = it.next().captured(1).toULongLong(nullptr, 16);
        if (const QRect geometry = windowGeometry(id); geometry.isValid())
            windows.append({id, geometry});
    }
    return windows;
}

QRect DesktopSession::largestWindow(qint64 pid, const QRect &within, int maxHeight) const
{
    QRect best;
    for (quint64 id : visibleWindowsOf(pid))
        if (const QRect r = windowGeometry(id); r.isValid() && (within.isNull() || within.contains(r))
            && r.height() <= maxHeight && r.width() * r.height() > best.width() * best.height())
            best = r;
    return best;
}

QRect DesktopSession::trayGeometry() const
{
    if (!m_tray || m_tray->state() != QProcess::Running)
        return {};
    switch (m_options.tray) {
    case Tray::trayer:
        return largestWindow(m_tray->processId(), {});
    case Tray::lxqtPanel:
    case Tray::plasma:
        return largestWindow(m_tray->processId(), {}, 100); // the panel, not Plasma's desktop
    case Tray::xfcePanel: {
        // xfce4-panel runs the tray plugin in a wrapper process of its own.
        qint64 owner = 0;
        for (qint64 pid : ProcessTree::descendants(m_tray->processId())) {
            QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
            if (cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().contains("libsystray.so"))
                owner = pid;
        }
        // The tray is the owner's largest window inside its panel (menus it pops up are not).
        return owner <= 0 ? QRect() : largestWindow(owner, largestWindow(m_tray->processId(), {}));
    }
    default:
        return {};
    }
}

QRect DesktopSession::freeArea() const
{
    const QRect screen(0, 0, 1280, 800);
    // "_NET_WORKAREA(CARDINAL) = x, y, width, height, ..." (one area per desktop: the first).
    const QString workArea = QString::fromLatin1(runTool("xprop", {"-root", "_NET_WORKAREA"}).value_or(""));
    if (const QStringList values = workArea.section(u'=', 1).split(u',', Qt::SkipEmptyParts); values.size() >= 4)
        return QRect(values[0].trimmed().toInt(), values[1].trimmed().toInt(), values[2].trimmed().toInt(),
                     values[3].trimmed().toInt());
    QRect free = screen;
    if (!m_tray || m_tray->state() != QProcess::Running)
        return free;
    const QRect bar = largestWindow(m_tray->processId(), {}, 100);
    if (!bar.isValid())
        return free;
    if (bar.width() >= bar.height()) {
        if (bar.top() <= screen.top())
            free.setTop(bar.bottom() + 1);
        else if (bar.bottom() >= screen.bottom())
            free.setBottom(bar.top() - 1);
    } else if (bar.left() <= screen.left()) {
        free.setLeft(bar.right() + 1);
    } else if (bar.right() >= screen.right()) {
        free.setRight(bar.left() - 1);
    }
    return free;
}

bool DesktopSession::click(QPoint point, int button) const
{
    // No --sync: it waits for a motion event, and there is none when the pointer is already there.
    if (!runCommand("xdotool", {"mousemove", QString::number(point.x()), QString::number(point.y())}))
        return false;
    QThread::msleep(150); // let the toolkit see the pointer enter before the press
    return runCommand("xdotool", {"click", QString::number(button)});
}

QImage DesktopSession::grab() const
{
    return fromPng(runTool("import", {"-window", "root", "png:-"}, 10000));
}

QList<QRect> DesktopSession::findPatches(const QRect &area, QRgb colour, int tolerance, QImage shot) const
{
    return pelmora::findPatches(shot.isNull() ? grab() : shot, area, colour, tolerance);
}

QList<QRect> DesktopSession::findSquares(const QRect &area, const QList<QRgb> &colours, int minSide, int maxSide,
                                         QImage shot) const
{
    return pelmora::findSquares(shot.isNull() ? grab() : shot, area, colours, minSide, maxSide);
}

bool DesktopSession::isOnScreen(quint64 windowId) const
{
    const QRect geometry = windowGeometry(windowId);
    const QImage screen = grab();
    const QImage window = fromPng(runTool("import", {"-window", QString::number(windowId), "png:-"}, 10000));
    const QRect visible = geometry.intersected(screen.rect());
    if (!geometry.isValid() || screen.isNull() || window.size() != geometry.size() || visible.isEmpty())
        return false;
    qint64 same = 0;
    for (int y = visible.top(); y <= visible.bottom(); ++y)
        for (int x = visible.left(); x <= visible.right(); ++x) {
            const QRgb a = screen.pixel(x, y), b = window.pixel(x - geometry.x(), y - geometry.y());
            same += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b)) <= 24;
        }
    return same >= qint64(visible.width()) * visible.height() * 9 / 10;
}

} // namespace pelmora
