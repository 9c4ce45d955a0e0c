// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "DesktopSession.h"

#include "ProcessTree.h"
#include "ScreenPatches.h"

#include <QImage>
#include <QtCore>
#include <QtDBus>

#include <optional>

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

// GNOME Shell reads its settings through GSETTINGS_BACKEND=keyfile from here.
const char *gnomeSettings = R"([org/gnome/shell]
enabled-extensions=['ubuntu-appindicators@ubuntu.com']
disable-user-extensions=false
welcome-dialog-last-shown-version='999'
)";

bool writeFile(const QString &path, const QString &text)
{
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).absolutePath()) && file.open(QIODevice::WriteOnly)
        && file.write(text.toUtf8()) > 0;
}

void stopProcess(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    ProcessTree::stop(process.processId());
    process.waitForFinished(3000);
}

} // namespace

DesktopSession::DesktopSession(Options options) : m_options(options)
{
}

DesktopSession::~DesktopSession()
{
    stop();
}

DesktopSession::Start DesktopSession::fail(Start kind, const QString &why)
{
    m_error = why;
    return kind;
}

QString DesktopSession::trayName(Tray tray)
{
    switch (tray) {
    case Tray::none:
        return QStringLiteral("no tray");
    case Tray::xfcePanel:
        return QStringLiteral("xfce4-panel");
    case Tray::trayer:
        return QStringLiteral("trayer");
    case Tray::lxqtPanel:
        return QStringLiteral("lxqt-panel");
    case Tray::plasma:
        return QStringLiteral("plasmashell");
    case Tray::gnomeShell:
        return QStringLiteral("gnome-shell");
    }
    return {};
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
    if (host == Tray::gnomeShell
        && !QFileInfo::exists("/usr/share/gnome-shell/extensions/ubuntu-appindicators@ubuntu.com"))
        return fail(Start::unavailable, "gnome-shell-extension-appindicator is not installed");
    for (const QString &tool : tools)
        if (!tool.isEmpty() && QStandardPaths::findExecutable(tool).isEmpty())
            return fail(Start::unavailable, tool + " is not installed");
    const QString home = m_home.path();
    if (!m_home.isValid() || !QDir().mkpath(home + "/runtime"))
        return fail(Start::failed, "cannot create a temporary home");
    QFile::setPermissions(home + "/runtime", QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
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

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name :
         {"WAYLAND_DISPLAY", "SESSION_MANAGER", "DBUS_SESSION_BUS_ADDRESS", "XDG_SESSION_TYPE", "XDG_CURRENT_DESKTOP",
          "DESKTOP_SESSION", "QT_QPA_PLATFORMTHEME", "DBUS_SYSTEM_BUS_ADDRESS"})
        env.remove(QLatin1String(name));
    const QString desktop = xfce   ? "XFCE"
        : host == Tray::lxqtPanel  ? "LXQt"
        : host == Tray::plasma     ? "KDE"
        : host == Tray::gnomeShell ? "GNOME"
                                   : "";
    const QList<QPair<const char *, QString>> values{{"DISPLAY", QStringLiteral(":%1").arg(display)},
                                                     {"HOME", home},
                                                     {"XDG_CONFIG_HOME", home + "/.config"},
                                                     {"XDG_CACHE_HOME", home + "/.cache"},
                                                     {"XDG_DATA_HOME", home + "/.local/share"},
                                                     {"XDG_RUNTIME_DIR", home + "/runtime"},
                                                     {"NO_AT_BRIDGE", "1"},
                                                     {"GTK_A11Y", "none"},
                                                     {"QT_QPA_PLATFORM", "xcb"},
                                                     {"XDG_CURRENT_DESKTOP", desktop}};
    for (const auto &[name, value] : values)
        env.insert(QLatin1String(name), value);
    if (host == Tray::gnomeShell) {
        env.insert("XDG_SESSION_TYPE", "x11");
        env.insert("GSETTINGS_BACKEND", "keyfile");
        env.insert("LIBGL_ALWAYS_SOFTWARE", "1");
        if (!writeFile(home + "/.config/glib-2.0/settings/keyfile", gnomeSettings))
            return fail(Start::failed, "cannot write the shell's settings");
        if (!m_systemBus.start(env))
            return fail(Start::unavailable, m_systemBus.errorString());
        env.insert("DBUS_SYSTEM_BUS_ADDRESS", m_systemBus.address());
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
                          .arg(iconSize)))
        return fail(Start::failed, "cannot write the panel configuration");
    if (host == Tray::lxqtPanel
        && !writeFile(home + "/.config/lxqt/panel.conf",
                      QString::fromLatin1(lxqtPanel).arg(iconSize).arg(iconSize + 10)))
        return fail(Start::failed, "cannot write the panel configuration");
    if (!m_bus.start(env))
        return fail(Start::unavailable, m_bus.errorString());
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_bus.address());
    m_environment = env;
    for (const QDeadlineTimer deadline(5000); !runTool("xwininfo", {"-root"}); QThread::msleep(50))
        if (deadline.hasExpired() || m_xserver.state() != QProcess::Running)
            return fail(Start::failed, "no client can connect to Xvfb on " + env.value("DISPLAY"));
    if (openbox)
        if (const Start wm = startWindowManager(); wm != Start::ready)
            return wm;
    if (trayProgram.isEmpty())
        return Start::ready;
    if (host == Tray::plasma)
        if (const Start watcher = startWatcher(); watcher != Start::ready)
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
        if (const Start watcher = startWatcher(); watcher != Start::ready)
            return watcher;
    }
    return startTray(trayName(m_options.tray));
}

DesktopSession::Start DesktopSession::startWatcher()
{
    m_watcher = std::make_unique<QProcess>();
    m_watcher->setProcessEnvironment(m_environment);
    m_watcher->setStandardOutputFile(QProcess::nullDevice());
    m_watcher->setStandardErrorFile(m_home.path() + "/kded5.log", QIODevice::Append);
    m_watcher->start("kded5", {});
    if (!m_watcher->waitForStarted(5000))
        return fail(Start::unavailable, "kded5 cannot start");
    for (const QDeadlineTimer deadline(30000); !hasBusName("org.kde.kded5"); QThread::msleep(50))
        if (deadline.hasExpired() || m_watcher->state() != QProcess::Running)
            return fail(Start::failed, "kded5 did not come up on the bus");
    // Outside a real login kded5 may leave its session modules alone: ask for the watcher.
    QDBusMessage load = QDBusMessage::createMethodCall("org.kde.kded5", "/kded", "org.kde.kded5", "loadModule");
    load << QStringLiteral("statusnotifierwatcher");
    const QDBusMessage loaded = callBus(load, 20000);
    if (loaded.arguments().isEmpty() || !loaded.arguments().constFirst().toBool())
        return fail(Start::failed, "kded5 did not load its statusnotifierwatcher module: " + loaded.errorMessage());
    return hasBusName(watcherService) ? Start::ready : fail(Start::failed, "kded5 loaded no watcher");
}

bool DesktopSession::leaveOverview() const
{
    // GNOME Shell shows its overview, which hides every window, at the end
    // of its start-up: wait for that (briefly: a version may not), then leave
    // it and make sure it stays left.
    QDBusMessage get = QDBusMessage::createMethodCall("org.gnome.Shell", "/org/gnome/Shell",
                                                      "org.freedesktop.DBus.Properties", "Get");
    get << QStringLiteral("org.gnome.Shell") << QStringLiteral("OverviewActive");
    const auto active = [&] {
        const QDBusMessage reply = callBus(get);
        return reply.arguments().isEmpty() || reply.arguments().constFirst().value<QDBusVariant>().variant().toBool();
    };
    for (const QDeadlineTimer shown(10000); !active() && !shown.hasExpired();)
        QThread::msleep(100);
    QDBusMessage set = QDBusMessage::createMethodCall("org.gnome.Shell", "/org/gnome/Shell",
                                                      "org.freedesktop.DBus.Properties", "Set");
    set << QStringLiteral("org.gnome.Shell") << QStringLiteral("OverviewActive")
        << QVariant::fromValue(QDBusVariant(false));
    int quiet = 0; // checks in a row with the overview left
    for (const QDeadlineTimer deadline(30000); quiet < 10 && !deadline.hasExpired(); QThread::msleep(200)) {
        if (active()) {
            quiet = 0;
            callBus(set);
        } else {
            ++quiet;
        }
    }
    return quiet >= 10;
}

QStringList DesktopSession::hostArguments() const
{
    switch (m_options.tray) {
    case Tray::xfcePanel:
        return {"--disable-wm-check"};
    case Tray::trayer:
        return {"--edge",
                "top",
                "--align",
                "right",
                "--widthtype",
                "pixel",
                "--width",
                "120",
                "--height",
                QString::number(m_options.trayerHeight),
                "--SetDockType",
                "true",
                "--SetPartialStrut",
                "true"};
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
        return hasBusName(watcherService) && trayGeometry().isValid();
    case Tray::trayer:
        return trayGeometry().isValid();
    case Tray::lxqtPanel:
        return hasBusName(watcherService) && trayGeometry().isValid();
    case Tray::plasma:
        return hasBusName(watcherService) && trayGeometry().isValid()
            && busProperty(watcherService, "/StatusNotifierWatcher", watcherService, "IsStatusNotifierHostRegistered",
                           2000)
                   .toBool();
    case Tray::gnomeShell:
        return hasBusName(watcherService) && hasBusName("org.gnome.Shell");
    case Tray::none:
        return true;
    }
    return false;
}

DesktopSession::Start DesktopSession::startTray(const QString &program)
{
    const QString log = m_home.path() + "/" + program + ".log";
    m_tray = std::make_unique<QProcess>();
    m_tray->setProcessEnvironment(m_environment);
    m_tray->setStandardOutputFile(QProcess::nullDevice());
    m_tray->setStandardErrorFile(log, QIODevice::Append);
    m_tray->start(program, hostArguments());
    if (!m_tray->waitForStarted(5000))
        return fail(Start::unavailable, program + " cannot start: " + m_tray->errorString());
    const bool heavy = m_options.tray == Tray::plasma || m_options.tray == Tray::gnomeShell;
    for (const QDeadlineTimer deadline(heavy ? 60000 : 15000); m_tray->state() == QProcess::Running;) {
        if (hostReady()) {
            if (m_options.tray == Tray::gnomeShell && !leaveOverview())
                return fail(Start::failed, "GNOME Shell stayed in its overview");
            return Start::ready;
        }
        if (deadline.hasExpired())
            return fail(Start::failed, program + " showed no tray in time");
        QThread::msleep(50);
    }
    QFile file(log);
    file.open(QIODevice::ReadOnly);
    return fail(Start::failed, program + " exited at start: " + QString::fromLocal8Bit(file.readAll()).right(600));
}

DesktopSession::Start DesktopSession::startWindowManager()
{
    m_windowManager = std::make_unique<QProcess>();
    m_windowManager->setProcessEnvironment(m_environment);
    m_windowManager->setStandardOutputFile(QProcess::nullDevice());
    m_windowManager->setStandardErrorFile(m_home.path() + "/openbox.log");
    m_windowManager->start("openbox", {"--sm-disable"});
    if (!m_windowManager->waitForStarted(5000))
        return fail(Start::unavailable, "openbox cannot start: " + m_windowManager->errorString());
    // Managing once its check window is on the root window (EWMH).
    for (const QDeadlineTimer deadline(15000); m_windowManager->state() == QProcess::Running; QThread::msleep(50)) {
        if (runTool("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"}).value_or("").contains("window id"))
            return Start::ready;
        if (deadline.hasExpired())
            return fail(Start::failed, "openbox did not manage the screen within 15 s");
    }
    return fail(Start::failed, "openbox exited at start");
}

void DesktopSession::stop()
{
    for (auto &program : m_programs)
        stopProcess(*program);
    m_programs.clear();
    for (std::unique_ptr<QProcess> *process : {&m_tray, &m_watcher, &m_windowManager}) {
        if (*process)
            stopProcess(**process);
        process->reset();
    }
    if (!m_busConnectionName.isEmpty())
        QDBusConnection::disconnectFromBus(m_busConnectionName);
    m_busConnectionName.clear();
    m_bus.stop();
    m_systemBus.stop();
    stopProcess(m_xserver);
    m_error.clear();
}

QProcess *DesktopSession::startProgram(const QString &program, const QStringList &arguments)
{
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(m_environment);
    process->start(program, arguments);
    if (!process->waitForStarted(5000))
        return nullptr;
    m_programs.push_back(std::move(process));
    return m_programs.back().get();
}

std::optional<QByteArray> DesktopSession::runTool(const QString &program, const QStringList &arguments,
                                                  int timeoutMs) const
{
    QProcess tool;
    tool.setProcessEnvironment(m_environment);
    tool.start(program, arguments);
    const bool ended = tool.waitForStarted(timeoutMs) && tool.waitForFinished(timeoutMs);
    if (!ended)
        stopProcess(tool);
    if (!ended || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
        return std::nullopt;
    return tool.readAllStandardOutput();
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
        return largestWindow(m_tray->processId(), {}, 100); // the panel
    case Tray::plasma:
        return largestWindow(m_tray->processId(), {}, 100); // the panel, not the desktop
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

bool DesktopSession::screenshot(const QString &path) const
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    return runTool("import", {"-window", "root", path}, 10000) && QFileInfo(path).size() > 0;
}

bool DesktopSession::hasBusName(const QString &name) const
{
    if (!m_bus.isRunning())
        return false;
    if (m_busConnectionName.isEmpty())
        m_busConnectionName = "desktop-session-" + QUuid::createUuid().toString(QUuid::Id128);
    const QDBusConnection bus = QDBusConnection::connectToBus(m_bus.address(), m_busConnectionName);
    return bus.isConnected() && bus.interface()->isServiceRegistered(name).value();
}

QDBusMessage DesktopSession::callBus(const QDBusMessage &message, int timeoutMs) const
{
    if (!hasBusName(QStringLiteral("org.freedesktop.DBus")))
        return QDBusMessage::createError(QDBusError::Disconnected, "no bus");
    return QDBusConnection(m_busConnectionName).call(message, QDBus::Block, timeoutMs);
}

QStringList DesktopSession::registeredStatusNotifierItems() const
{
    if (!hasBusName(watcherService))
        return {};
    return busProperty(watcherService, "/StatusNotifierWatcher", watcherService, "RegisteredStatusNotifierItems")
        .toStringList();
}

QVariant DesktopSession::busProperty(const QString &service, const QString &path, const QString &interface,
                                     const QString &name, int timeoutMs) const
{
    QDBusMessage get = QDBusMessage::createMethodCall(service, path, "org.freedesktop.DBus.Properties", "Get");
    get << interface << name;
    const QDBusMessage reply = callBus(get, timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return reply.arguments().constFirst().value<QDBusVariant>().variant();
}

QImage DesktopSession::grab() const
{
    const QString shot = m_home.path() + "/grab.png";
    return screenshot(shot) ? QImage(shot).convertToFormat(QImage::Format_RGB32) : QImage();
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
    const QString own = m_home.path() + "/window.png";
    const QImage screen = grab();
    if (!geometry.isValid() || screen.isNull()
        || !runTool("import", {"-window", QString::number(windowId), own}, 10000))
        return false;
    const QImage window = QImage(own).convertToFormat(QImage::Format_RGB32);
    const QRect visible = geometry.intersected(screen.rect());
    if (window.size() != geometry.size() || visible.isEmpty())
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
