// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "WaylandSession.h"

#include "ProcessTree.h"
#include "platform/SwayIpc.h"

#include <QtCore>
#include <QtDBus>

namespace pelmora {
namespace {

// Lets root (the test) onto the session user's bus.
const char *busConfiguration = R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <include>/usr/share/dbus-1/session.conf</include>
  <policy context="default"><allow user="root"/></policy>
</busconfig>
)";

// %1: xwayland enable|disable, %2: the file that tells the session's environment.
const char *swayConfiguration = R"(output HEADLESS-1 mode 1280x800 position 0 0
xwayland %1
focus_follows_mouse no
bar {
    swaybar_command waybar
}
exec sh -c 'printf "%s\n" "$WAYLAND_DISPLAY" "$SWAYSOCK" "$DISPLAY" > "%2.part" && mv "%2.part" "%2"'
)";

const char *waybarConfiguration = R"({
    "position": "top", // as waybar has it by default
    "height": 30,
    "modules-right": ["tray"],
    "tray": {"spacing": 6},
}
)";

bool writeFile(const QString &path, const QByteArray &text)
{
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).absolutePath()) && file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

void stopProcess(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    ProcessTree::stop(process.processId());
    process.waitForFinished(3000);
}

const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");

} // namespace

WaylandSession::WaylandSession(Options options)
    : m_options(options)
{
}

WaylandSession::~WaylandSession()
{
    stop();
}

WaylandSession::Start WaylandSession::fail(Start kind, const QString &why)
{
    m_error = why;
    return kind;
}

WaylandSession::Start WaylandSession::start()
{
    stop();
    const bool sway = m_options.compositor == Compositor::sway;
    QStringList tools = sway ? QStringList{"sway", "waybar", "grim"} : QStringList{"weston", "weston-screenshooter"};
    tools << "dbus-daemon";
    if (!m_user.isOwnUser() || ::getuid() == 0)
        tools << "useradd" << "userdel";
    if (m_options.xwayland)
        tools << "Xwayland";
    for (const QString &tool : tools)
        if (QStandardPaths::findExecutable(tool).isEmpty())
            return fail(Start::unavailable, tool + " is not installed");
    if (sway && !QFileInfo(PELMORA_BINARY_DIR "/tests/helpers/pelmora_seat").isExecutable())
        return fail(Start::unavailable, "pelmora_seat is not built");

    const QString home = m_home.path();
    if (!m_home.isValid() || !QDir().mkpath(home + "/runtime") || !QDir().mkpath(home + "/.config"))
        return fail(Start::failed, "cannot create a temporary home");
    if (!m_user.create(home))
        return fail(Start::unavailable, m_user.errorString());
    QFile::setPermissions(home, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                    | QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther
                                    | QFileDevice::ExeOther);
    QFile::setPermissions(home + "/runtime", QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (!writeFile(home + "/bus.conf", busConfiguration) || !m_user.own(home))
        return fail(Start::failed, "cannot prepare the session's home");

    QProcessEnvironment env;
    const QList<QPair<const char *, QString>> values{
        {"PATH", qEnvironmentVariable("PATH", "/usr/bin:/bin")}, {"LANG", "C.UTF-8"}, {"HOME", home},
        {"XDG_CONFIG_HOME", home + "/.config"}, {"XDG_CACHE_HOME", home + "/.cache"},
        {"XDG_DATA_HOME", home + "/.local/share"}, {"XDG_RUNTIME_DIR", home + "/runtime"}, {"NO_AT_BRIDGE", "1"},
        {"GTK_A11Y", "none"}, {"XDG_SESSION_TYPE", "wayland"}};
    for (const auto &[name, value] : values)
        env.insert(QLatin1String(name), value);
    PrivateBus::Launch bus;
    bus.configuration = QStringList{"--config-file=" + home + "/bus.conf"};
    bus.childModifier = m_user.becomeUser();
    if (!m_bus.start(env, 5000, bus))
        return fail(Start::unavailable, m_bus.errorString());
    env.insert("DBUS_SESSION_BUS_ADDRESS", m_bus.address());
    m_environment = env;
    return sway ? startSway() : startWeston();
}

WaylandSession::Start WaylandSession::startSway()
{
    const QString home = m_home.path();
    const QString ready = home + "/session.ready";
    if (!writeFile(home + "/sway.conf", QString::fromLatin1(swayConfiguration)
                                            .arg(m_options.xwayland ? "enable" : "disable", ready).toUtf8())
        || !writeFile(home + "/.config/waybar/config", waybarConfiguration) || !m_user.own(home))
        return fail(Start::failed, "cannot write sway's configuration");
    QProcessEnvironment env = m_environment;
    env.insert("WLR_BACKENDS", "headless");
    env.insert("WLR_LIBINPUT_NO_DEVICES", "1");
    env.insert("WLR_RENDERER", "pixman");
    env.insert("XDG_CURRENT_DESKTOP", "sway");
    m_compositor = std::make_unique<QProcess>();
    m_compositor->setProcessEnvironment(env);
    m_compositor->setChildProcessModifier(m_user.becomeUser());
    m_compositor->setWorkingDirectory(home);
    m_compositor->setStandardOutputFile(QProcess::nullDevice());
    m_compositor->setStandardErrorFile(home + "/sway.log");
    m_compositor->start("sway", {"-c", home + "/sway.conf"});
    if (!m_compositor->waitForStarted(5000))
        return fail(Start::unavailable, "sway cannot start: " + m_compositor->errorString());
    QStringList told;
    for (const QDeadlineTimer deadline(20000); told.size() < 3; QThread::msleep(50)) {
        QFile file(ready);
        if (file.open(QIODevice::ReadOnly))
            told = QString::fromLocal8Bit(file.readAll()).split(u'\n');
        if (m_compositor->state() != QProcess::Running || deadline.hasExpired()) {
            QFile log(home + "/sway.log");
            log.open(QIODevice::ReadOnly);
            return fail(Start::failed, "sway did not come up: " + QString::fromLocal8Bit(log.readAll()).right(800));
        }
    }
    m_environment.insert("WAYLAND_DISPLAY", told.at(0));
    m_environment.insert("SWAYSOCK", told.at(1));
    if (m_options.xwayland)
        m_environment.insert("DISPLAY", told.at(2));
    m_environment.insert("XDG_CURRENT_DESKTOP", "sway");

    m_seat = std::make_unique<QProcess>();
    m_seat->setProcessEnvironment(m_environment);
    m_seat->setChildProcessModifier(m_user.becomeUser());
    m_seat->start(PELMORA_BINARY_DIR "/tests/helpers/pelmora_seat",
                  {QString::number(screenSize.width()), QString::number(screenSize.height())});
    if (!m_seat->waitForStarted(5000) || !m_seat->waitForReadyRead(10000) || m_seat->readLine().trimmed() != "ready")
        return fail(Start::failed, "no pointer or keyboard: " + QString::fromLocal8Bit(m_seat->readAllStandardError()));

    // waybar's tray is the watcher; the bar is up once sway leaves room for it.
    for (const QDeadlineTimer deadline(20000); !deadline.hasExpired(); QThread::msleep(100))
        if (busProperty(watcherService, "/StatusNotifierWatcher", watcherService, "IsStatusNotifierHostRegistered").toBool()
            && freeArea().top() > 0)
            return Start::ready;
    return fail(Start::failed, "waybar showed no tray in time");
}

WaylandSession::Start WaylandSession::startWeston()
{
    const QString home = m_home.path();
    const QString socket = QStringLiteral("pelmora-test");
    QStringList arguments{"--backend=headless-backend.so", "--socket=" + socket, "--use-pixman", "--width=1280",
                          "--height=800", "--debug" /* lets weston-screenshooter in */};
    if (m_options.xwayland)
        arguments << "--xwayland";
    m_compositor = std::make_unique<QProcess>();
    m_compositor->setProcessEnvironment(m_environment);
    m_compositor->setChildProcessModifier(m_user.becomeUser());
    m_compositor->setWorkingDirectory(home);
    m_compositor->setStandardOutputFile(QProcess::nullDevice());
    m_compositor->setStandardErrorFile(home + "/weston.log");
    m_compositor->start("weston", arguments);
    if (!m_compositor->waitForStarted(5000))
        return fail(Start::unavailable, "weston cannot start: " + m_compositor->errorString());
    m_environment.insert("WAYLAND_DISPLAY", socket);
    const QRegularExpression xserver(QStringLiteral("listening on display (:\\d+)"));
    for (const QDeadlineTimer deadline(20000);; QThread::msleep(100)) {
        QFile log(home + "/weston.log");
        log.open(QIODevice::ReadOnly);
        const QString text = QString::fromLocal8Bit(log.readAll());
        const auto match = xserver.match(text);
        if (QFileInfo::exists(home + "/runtime/" + socket) && (!m_options.xwayland || match.hasMatch()) && !grab().isNull()) {
            if (match.hasMatch())
                m_environment.insert("DISPLAY", match.captured(1));
            return Start::ready;
        }
        if (m_compositor->state() != QProcess::Running || deadline.hasExpired())
            return fail(Start::failed, "weston did not come up: " + text.right(800));
    }
}

void WaylandSession::stop()
{
    for (auto &program : m_programs)
        stopProcess(*program);
    m_programs.clear();
    for (std::unique_ptr<QProcess> *process : {&m_seat, &m_compositor}) {
        if (*process)
            stopProcess(**process);
        process->reset();
    }
    if (!m_busConnectionName.isEmpty())
        QDBusConnection::disconnectFromBus(m_busConnectionName);
    m_busConnectionName.clear();
    m_bus.stop();
    m_user.remove();
    m_environment = {};
}

QProcess *WaylandSession::startProgram(const QString &program, const QStringList &arguments,
                                       const QProcessEnvironment &extra)
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment env = m_environment;
    env.insert(extra);
    process->setProcessEnvironment(env);
    process->setChildProcessModifier(m_user.becomeUser());
    process->setWorkingDirectory(m_home.path());
    process->start(program, arguments);
    if (!process->waitForStarted(5000))
        return nullptr;
    m_programs.push_back(std::move(process));
    return m_programs.back().get();
}

std::optional<QByteArray> WaylandSession::runTool(const QString &program, const QStringList &arguments,
                                                  int timeoutMs) const
{
    QProcess tool;
    tool.setProcessEnvironment(m_environment);
    tool.setWorkingDirectory(m_home.path());
    tool.start(program, arguments);
    const bool ended = tool.waitForStarted(timeoutMs) && tool.waitForFinished(timeoutMs);
    if (!ended)
        stopProcess(tool);
    if (!ended || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
        return std::nullopt;
    return tool.readAllStandardOutput();
}

QImage WaylandSession::grab() const
{
    if (m_options.compositor == Compositor::sway) {
        const auto png = runTool("grim", {"-t", "png", "-l", "0", "-"});
        return png ? QImage::fromData(*png, "PNG").convertToFormat(QImage::Format_RGB32) : QImage();
    }
    // weston-screenshooter writes wayland-screenshot-<time>.png into its folder.
    QTemporaryDir folder;
    QProcess tool;
    tool.setProcessEnvironment(m_environment);
    tool.setWorkingDirectory(folder.path());
    tool.start("weston-screenshooter", {});
    if (!tool.waitForFinished(10000) || tool.exitCode() != 0)
        return {};
    const QStringList shots = QDir(folder.path()).entryList({"*.png"}, QDir::Files);
    return shots.isEmpty() ? QImage() : QImage(folder.filePath(shots.constFirst())).convertToFormat(QImage::Format_RGB32);
}

bool WaylandSession::screenshot(const QString &path) const
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QImage shot = grab();
    return !shot.isNull() && shot.save(path);
}

QVariant WaylandSession::busProperty(const QString &service, const QString &path, const QString &interface,
                                     const QString &name) const
{
    if (!m_bus.isRunning())
        return {};
    if (m_busConnectionName.isEmpty())
        m_busConnectionName = "wayland-session-" + QUuid::createUuid().toString(QUuid::Id128);
    QDBusConnection bus = QDBusConnection::connectToBus(m_bus.address(), m_busConnectionName);
    QDBusMessage get = QDBusMessage::createMethodCall(service, path, "org.freedesktop.DBus.Properties", "Get");
    get << interface << name;
    const QDBusMessage reply = bus.call(get, QDBus::Block, 3000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return reply.arguments().constFirst().value<QDBusVariant>().variant();
}

QStringList WaylandSession::registeredStatusNotifierItems() const
{
    return busProperty(watcherService, "/StatusNotifierWatcher", watcherService, "RegisteredStatusNotifierItems")
        .toStringList();
}

QByteArray WaylandSession::swayRequest(int type, const QByteArray &payload) const
{
    return platform::swayRequest(m_environment.value("SWAYSOCK"), platform::SwayMessage(type), payload, 3000).value_or(QByteArray());
}

QList<WaylandSession::View> WaylandSession::views() const
{
    QList<View> found;
    const std::function<void(const QJsonObject &)> walk = [&](const QJsonObject &node) {
        if (const qint64 pid = node.value("pid").toInteger(); pid > 0) {
            const auto rect = [&](const char *key) {
                const QJsonObject r = node.value(QLatin1String(key)).toObject();
                return QRect(r.value("x").toInt(), r.value("y").toInt(), r.value("width").toInt(), r.value("height").toInt());
            };
            const QRect outer = rect("rect"), inner = rect("window_rect");
            View view{pid, node.value("app_id").toString(), node.value("name").toString(),
                      QRect(outer.topLeft() + inner.topLeft(), inner.size()), node.value("focused").toBool()};
            if (view.appId.isEmpty())
                view.appId = node.value("window_properties").toObject().value("class").toString();
            found << view;
        }
        for (const char *children : {"nodes", "floating_nodes"})
            for (const QJsonValue &child : node.value(QLatin1String(children)).toArray())
                walk(child.toObject());
    };
    walk(QJsonDocument::fromJson(swayRequest(int(platform::SwayMessage::getTree))).object());
    return found;
}

QRect WaylandSession::freeArea() const
{
    for (const QJsonValue &value : QJsonDocument::fromJson(swayRequest(int(platform::SwayMessage::getWorkspaces))).array()) {
        const QJsonObject workspace = value.toObject();
        const QJsonObject r = workspace.value("rect").toObject();
        if (workspace.value("focused").toBool())
            return QRect(r.value("x").toInt(), r.value("y").toInt(), r.value("width").toInt(), r.value("height").toInt());
    }
    return {};
}

bool WaylandSession::seatCommand(const QString &command)
{
    if (!m_seat || m_seat->state() != QProcess::Running)
        return false;
    m_seat->write(command.toUtf8() + '\n');
    if (!m_seat->waitForBytesWritten(3000))
        return false;
    while (!m_seat->canReadLine())
        if (!m_seat->waitForReadyRead(5000))
            return false;
    return m_seat->readLine().trimmed() == "ok";
}

bool WaylandSession::click(QPoint point)
{
    return seatCommand(QStringLiteral("click %1 %2").arg(point.x()).arg(point.y()));
}

bool WaylandSession::type(const QString &text)
{
    return seatCommand(QStringLiteral("type ") + text);
}

bool WaylandSession::keys(const QStringList &names)
{
    return seatCommand(QStringLiteral("key ") + names.join(u' '));
}

} // namespace pelmora
