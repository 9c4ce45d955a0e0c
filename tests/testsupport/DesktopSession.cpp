#include "DesktopSession.h"

#include "ProcessTree.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>
#include <QUuid>

namespace pelmora {
namespace {

const char *watcherService = "org.kde.StatusNotifierWatcher";

// One top panel, as short as its content, holding only the tray.
const char *trayOnlyPanel = R"(<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=6;x=0;y=0"/>
      <property name="length" type="uint" value="1"/>
      <property name="length-adjust" type="bool" value="true"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="size" type="uint" value="32"/>
      <property name="plugin-ids" type="array">
        <value type="int" value="1"/>
      </property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="systray">
      <property name="square-icons" type="bool" value="true"/>
    </property>
  </property>
</channel>
)";

// Polls `ready` every 50 ms until it holds or `deadline` passes.
template <typename Predicate>
bool waitUntil(const QDeadlineTimer &deadline, Predicate ready)
{
    while (!ready()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(50);
    }
    return true;
}

QString cmdline(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/cmdline").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(file.readAll().replace('\0', ' '));
}

void stopProcess(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    ProcessTree::stop(process.processId());
    process.waitForFinished(3000);
}

} // namespace

DesktopSession::DesktopSession()
    : DesktopSession(Options{})
{
}

DesktopSession::DesktopSession(Options options)
    : m_options(options)
{
}

DesktopSession::~DesktopSession()
{
    stop();
}

DesktopSession::Start DesktopSession::start()
{
    stop();
    if (!m_home.isValid()) {
        m_error = QStringLiteral("cannot create a temporary home");
        return Start::failed;
    }
    if (const Start x = startXServer(); x != Start::ready)
        return x;

    const QString home = m_home.path();
    const QString runtime = home + QStringLiteral("/runtime");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"WAYLAND_DISPLAY", "SESSION_MANAGER", "DBUS_SESSION_BUS_ADDRESS", "XDG_SESSION_TYPE",
                             "XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "QT_QPA_PLATFORMTHEME"})
        env.remove(QLatin1String(name));
    env.insert(QStringLiteral("DISPLAY"), m_display);
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/.cache"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    env.insert(QStringLiteral("NO_AT_BRIDGE"), QStringLiteral("1")); // no accessibility bus to start and stop
    env.insert(QStringLiteral("GTK_A11Y"), QStringLiteral("none"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    if (m_options.tray == Tray::xfcePanel)
        env.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("XFCE"));

    // The bus must see HOME and XDG_CONFIG_HOME: the panel's settings daemon is
    // started by the bus, with the bus's environment.
    if (m_options.tray == Tray::xfcePanel && m_options.trayOnlyPanel && !writePanelConfig()) {
        m_error = QStringLiteral("cannot write the panel configuration");
        return Start::failed;
    }
    if (!m_bus.start(env)) {
        m_error = m_bus.errorString();
        return Start::unavailable;
    }
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_bus.address());
    m_environment = env;
    Start tray = startTray();
    if (tray == Start::failed && m_tray && m_tray->state() == QProcess::Running) {
        // Seen once on a loaded machine: a tray host that runs but never maps
        // its tray. Keep what was seen, then give it one fresh start.
        const QString first = m_error + QStringLiteral("; windows: ")
            + QString::fromLocal8Bit(runTool(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")}))
                  .simplified()
                  .left(600);
        stopProcess(*m_tray);
        m_tray.reset();
        tray = startTray();
        if (tray != Start::ready)
            m_error = first + QStringLiteral(" | second start: ") + m_error;
        else
            qWarning("DesktopSession: the tray host needed a second start (%s)", qPrintable(first));
    }
    return tray;
}

DesktopSession::Start DesktopSession::startXServer()
{
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty()) {
        m_error = QStringLiteral("Xvfb is not installed");
        return Start::unavailable;
    }
    const QSize size = m_options.screenSize;
    // -displayfd lets the server pick a free display itself and tells us once it is ready.
    m_xserver.start(QStringLiteral("Xvfb"),
                    {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
                     QStringLiteral("%1x%2x24").arg(size.width()).arg(size.height()), QStringLiteral("-nolisten"),
                     QStringLiteral("tcp")});
    if (!m_xserver.waitForStarted(5000)) {
        m_error = QStringLiteral("Xvfb cannot start: %1").arg(m_xserver.errorString());
        return Start::unavailable;
    }
    const QDeadlineTimer deadline(10000);
    while (!m_xserver.canReadLine() && m_xserver.state() == QProcess::Running && !deadline.hasExpired())
        m_xserver.waitForReadyRead(100);
    bool numeric = false;
    const int number = QString::fromLatin1(m_xserver.readLine()).trimmed().toInt(&numeric);
    if (!numeric) {
        m_error = QStringLiteral("Xvfb did not come up: %1")
                      .arg(QString::fromLocal8Bit(m_xserver.readAllStandardError()).trimmed().right(400));
        stopProcess(m_xserver);
        return Start::unavailable;
    }
    m_display = QStringLiteral(":%1").arg(number);
    return Start::ready;
}

bool DesktopSession::writePanelConfig() const
{
    const QString path = m_home.path() + QStringLiteral("/.config/xfce4/xfconf/xfce-perchannel-xml/xfce4-panel.xml");
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(trayOnlyPanel) > 0;
}

DesktopSession::Start DesktopSession::startTray()
{
    if (m_options.tray == Tray::none)
        return Start::ready;
    const bool xfce = m_options.tray == Tray::xfcePanel;
    const QString program = xfce ? QStringLiteral("xfce4-panel") : QStringLiteral("trayer");
    if (QStandardPaths::findExecutable(program).isEmpty()) {
        m_error = QStringLiteral("%1 is not installed").arg(program);
        return Start::unavailable;
    }
    m_tray = std::make_unique<QProcess>();
    m_tray->setProcessEnvironment(m_environment);
    m_tray->setProcessChannelMode(QProcess::SeparateChannels);
    m_tray->setStandardOutputFile(QProcess::nullDevice());
    m_tray->setStandardErrorFile(m_home.path() + QStringLiteral("/%1.log").arg(program));
    const QStringList arguments = xfce
        ? QStringList{QStringLiteral("--disable-wm-check")}
        : QStringList{QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"), QStringLiteral("right"),
                      QStringLiteral("--widthtype"), QStringLiteral("pixel"), QStringLiteral("--width"),
                      QStringLiteral("120"), QStringLiteral("--height"), QStringLiteral("32")};
    m_tray->start(program, arguments);
    if (!m_tray->waitForStarted(5000)) {
        m_error = QStringLiteral("%1 cannot start: %2").arg(program, m_tray->errorString());
        return Start::unavailable;
    }

    const QDeadlineTimer deadline(m_options.startTimeoutMs);
    const bool ready = waitUntil(deadline, [&] {
        if (m_tray->state() != QProcess::Running)
            return true;
        if (xfce && !hasBusName(QLatin1String(watcherService)))
            return false;
        return trayGeometry().isValid();
    });
    if (m_tray->state() != QProcess::Running) {
        QFile log(m_home.path() + QStringLiteral("/%1.log").arg(program));
        log.open(QIODevice::ReadOnly);
        m_error = QStringLiteral("%1 exited at start: %2").arg(program, QString::fromLocal8Bit(log.readAll()).right(600));
        return Start::failed;
    }
    if (!ready) {
        m_error = QStringLiteral("%1 showed no tray within %2 ms").arg(program).arg(m_options.startTimeoutMs);
        return Start::failed;
    }
    return Start::ready;
}

void DesktopSession::stop()
{
    for (auto &program : m_programs)
        stopProcess(*program);
    m_programs.clear();
    if (m_tray) {
        stopProcess(*m_tray);
        m_tray.reset();
    }
    if (!m_busConnectionName.isEmpty()) {
        QDBusConnection::disconnectFromBus(m_busConnectionName);
        m_busConnectionName.clear();
    }
    m_bus.stop();
    stopProcess(m_xserver);
    m_display.clear();
}

QProcess *DesktopSession::startProgram(const QString &program, const QStringList &arguments)
{
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(m_environment);
    process->setProcessChannelMode(QProcess::SeparateChannels);
    process->start(program, arguments);
    if (!process->waitForStarted(5000))
        return nullptr;
    m_programs.push_back(std::move(process));
    return m_programs.back().get();
}

void DesktopSession::stopProgram(QProcess *process)
{
    for (auto it = m_programs.begin(); it != m_programs.end(); ++it) {
        if (it->get() == process) {
            stopProcess(*process);
            m_programs.erase(it);
            return;
        }
    }
}

QByteArray DesktopSession::runTool(const QString &program, const QStringList &arguments, int timeoutMs) const
{
    QProcess tool;
    tool.setProcessEnvironment(m_environment);
    tool.start(program, arguments);
    if (!tool.waitForStarted(timeoutMs) || !tool.waitForFinished(timeoutMs)) {
        if (tool.state() != QProcess::NotRunning) {
            ProcessTree::stop(tool.processId());
            tool.waitForFinished(1000);
        }
        return {};
    }
    if (tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
        return {};
    return tool.readAllStandardOutput();
}

QRect DesktopSession::windowGeometry(quint64 windowId) const
{
    const QString info = QString::fromLocal8Bit(runTool(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(windowId)}));
    if (!info.contains(QLatin1String("IsViewable")))
        return {};
    auto field = [&info](const char *name) {
        const QRegularExpression re(QStringLiteral("%1:\\s*(-?\\d+)").arg(QLatin1String(name)));
        const auto match = re.match(info);
        return match.hasMatch() ? match.captured(1).toInt() : -1;
    };
    const QRect rect(field("Absolute upper-left X"), field("Absolute upper-left Y"), field("Width"), field("Height"));
    return rect.width() > 0 && rect.height() > 0 ? rect : QRect();
}

QList<quint64> DesktopSession::visibleWindowsOf(qint64 pid) const
{
    QList<quint64> windows;
    const QList<QByteArray> lines = runTool(QStringLiteral("xdotool"),
        {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"), QString::number(pid)}).split('\n');
    for (const QByteArray &line : lines) {
        bool ok = false;
        const quint64 id = line.trimmed().toULongLong(&ok);
        if (ok)
            windows.append(id);
    }
    return windows;
}

QList<QPair<quint64, QRect>> DesktopSession::topLevelWindows() const
{
    QList<QPair<quint64, QRect>> windows;
    const QString tree = QString::fromLocal8Bit(runTool(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-children")}));
    static const QRegularExpression child(QStringLiteral("^\\s+(0x[0-9a-f]+) "), QRegularExpression::MultilineOption);
    for (auto it = child.globalMatch(tree); it.hasNext();) {
        const quint64 id = it.next().captured(1).toULongLong(nullptr, 16);
        const QRect geometry = windowGeometry(id);
        if (geometry.isValid())
            windows.append({id, geometry});
    }
    return windows;
}

qint64 DesktopSession::trayWindowOwnerPid() const
{
    if (!m_tray || m_tray->state() != QProcess::Running)
        return 0;
    if (m_options.tray == Tray::trayer)
        return m_tray->processId();
    // xfce4-panel runs the tray plugin in a wrapper process of its own.
    for (qint64 pid : ProcessTree::descendants(m_tray->processId()))
        if (cmdline(pid).contains(QLatin1String("libsystray.so")))
            return pid;
    return 0;
}

QRect DesktopSession::trayGeometry() const
{
    const qint64 owner = trayWindowOwnerPid();
    if (owner <= 0)
        return {};
    // The tray is the owner's window that sits in its panel (menus it pops up do not).
    QRect panel;
    if (m_options.tray == Tray::xfcePanel) {
        for (quint64 id : visibleWindowsOf(m_tray->processId())) {
            const QRect rect = windowGeometry(id);
            if (rect.width() * rect.height() > panel.width() * panel.height())
                panel = rect;
        }
    }
    QRect best;
    for (quint64 id : visibleWindowsOf(owner)) {
        const QRect rect = windowGeometry(id);
        if (!rect.isValid() || (panel.isValid() && !panel.contains(rect)))
            continue;
        if (rect.width() * rect.height() > best.width() * best.height())
            best = rect;
    }
    return best;
}

bool DesktopSession::runCommand(const QString &program, const QStringList &arguments, int timeoutMs) const
{
    QProcess tool;
    tool.setProcessEnvironment(m_environment);
    tool.setStandardOutputFile(QProcess::nullDevice());
    tool.start(program, arguments);
    const bool finished = tool.waitForStarted(timeoutMs) && tool.waitForFinished(timeoutMs);
    if (!finished && tool.state() != QProcess::NotRunning) {
        ProcessTree::stop(tool.processId());
        tool.waitForFinished(1000);
    }
    return finished && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
}

bool DesktopSession::click(QPoint point, int button) const
{
    // No --sync: it waits for a motion event, and there is none when the
    // pointer is already there.
    if (!runCommand(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QString::number(point.x()),
                                                QString::number(point.y())}))
        return false;
    QThread::msleep(150); // let the toolkit see the pointer enter before the press
    return runCommand(QStringLiteral("xdotool"), {QStringLiteral("click"), QString::number(button)});
}

bool DesktopSession::screenshot(const QString &path) const
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    return runCommand(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), path}, 10000)
        && QFileInfo(path).size() > 0;
}

bool DesktopSession::hasBusName(const QString &name) const
{
    if (!m_bus.isRunning())
        return false;
    if (m_busConnectionName.isEmpty())
        m_busConnectionName = QStringLiteral("desktop-session-%1").arg(QUuid::createUuid().toString(QUuid::Id128));
    const QDBusConnection bus = QDBusConnection::connectToBus(m_bus.address(), m_busConnectionName);
    return bus.isConnected() && bus.interface()->isServiceRegistered(name).value();
}

QStringList DesktopSession::registeredStatusNotifierItems() const
{
    if (!hasBusName(QLatin1String(watcherService)))
        return {};
    QDBusMessage get = QDBusMessage::createMethodCall(QLatin1String(watcherService), QStringLiteral("/StatusNotifierWatcher"),
                                                      QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QLatin1String(watcherService) << QStringLiteral("RegisteredStatusNotifierItems");
    const QDBusMessage reply = QDBusConnection(m_busConnectionName).call(get, QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return reply.arguments().constFirst().value<QDBusVariant>().variant().toStringList();
}

} // namespace pelmora
