// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "HeadlessSession.h"

#include "ProcessTree.h"

#include <QtCore>
#include <QtDBus>

namespace pelmora {
namespace {

const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");

// GNOME Shell reads its settings through GSETTINGS_BACKEND=keyfile from here.
const char *gnomeSettings = R"([org/gnome/shell]
enabled-extensions=['ubuntu-appindicators@ubuntu.com']
disable-user-extensions=false
welcome-dialog-last-shown-version='999'
)";

} // namespace

bool waitUntil(const std::function<bool()> &condition, int timeoutMs, const QProcess *alive, int stepMs)
{
    for (const QDeadlineTimer deadline(timeoutMs);; QThread::msleep(std::uint64_t(stepMs))) {
        if (condition())
            return true;
        if (deadline.hasExpired() || (alive && alive->state() != QProcess::Running))
            return false;
    }
}

HeadlessSession::Start HeadlessSession::fail(Start kind, const QString &why)
{
    m_error = why;
    return kind;
}

bool HeadlessSession::makeHome()
{
    const QString runtime = m_home.path() + "/runtime";
    return m_home.isValid() && QDir().mkpath(runtime)
        && QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

QProcessEnvironment HeadlessSession::homeEnvironment(QProcessEnvironment base) const
{
    const QString home = m_home.path();
    const QList<QPair<const char *, QString>> values{{"HOME", home},
                                                     {"XDG_CONFIG_HOME", home + "/.config"},
                                                     {"XDG_CACHE_HOME", home + "/.cache"},
                                                     {"XDG_DATA_HOME", home + "/.local/share"},
                                                     {"XDG_RUNTIME_DIR", home + "/runtime"},
                                                     {"NO_AT_BRIDGE", "1"},
                                                     {"GTK_A11Y", "none"}};
    for (const auto &[name, value] : values)
        base.insert(QLatin1String(name), value);
    return base;
}

std::unique_ptr<QProcess> HeadlessSession::spawn(const QString &program, const QStringList &arguments,
                                                 const QString &log, const std::optional<QProcessEnvironment> &env)
{
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(env.value_or(m_environment));
    if (m_becomeUser)
        process->setChildProcessModifier(m_becomeUser);
    process->setWorkingDirectory(m_workingDirectory);
    if (!log.isEmpty()) {
        process->setStandardOutputFile(m_home.path() + "/" + log, QIODevice::Append);
        process->setStandardErrorFile(m_home.path() + "/" + log, QIODevice::Append);
    }
    process->start(program, arguments);
    if (process->waitForStarted(5000))
        return process;
    m_error = program + " cannot start: " + process->errorString();
    return nullptr;
}

QProcess *HeadlessSession::keep(std::unique_ptr<QProcess> process)
{
    if (!process)
        return nullptr;
    m_programs.push_back(std::move(process));
    return m_programs.back().get();
}

void HeadlessSession::stopProcess(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    ProcessTree::stop(process.processId());
    process.waitForFinished(3000);
}

void HeadlessSession::stopAll(std::initializer_list<std::unique_ptr<QProcess> *> services)
{
    for (auto &program : m_programs)
        stopProcess(*program);
    m_programs.clear();
    for (std::unique_ptr<QProcess> *process : services) {
        if (*process)
            stopProcess(**process);
        process->reset();
    }
    if (!m_busConnectionName.isEmpty())
        QDBusConnection::disconnectFromBus(m_busConnectionName);
    m_busConnectionName.clear();
    m_bus.stop();
    m_systemBus.stop();
    m_environment = {};
    m_error.clear();
}

bool HeadlessSession::writeFile(const QString &path, const QByteArray &text)
{
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).absolutePath()) && file.open(QIODevice::WriteOnly)
        && file.write(text) == text.size();
}

QString HeadlessSession::logTail(const QString &log, int chars) const
{
    QFile file(m_home.path() + "/" + log);
    file.open(QIODevice::ReadOnly);
    return QString::fromLocal8Bit(file.readAll()).right(chars);
}

QImage HeadlessSession::fromPng(const std::optional<QByteArray> &png)
{
    return png ? QImage::fromData(*png, "PNG").convertToFormat(QImage::Format_RGB32) : QImage();
}

std::optional<QByteArray> HeadlessSession::runTool(const QString &program, const QStringList &arguments,
                                                   int timeoutMs) const
{
    QProcess tool;
    tool.setProcessEnvironment(m_environment);
    tool.setWorkingDirectory(m_workingDirectory);
    tool.start(program, arguments);
    const bool ended = tool.waitForStarted(timeoutMs) && tool.waitForFinished(timeoutMs);
    if (!ended)
        stopProcess(tool);
    if (!ended || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
        return std::nullopt;
    return tool.readAllStandardOutput();
}

bool HeadlessSession::screenshot(const QString &path) const
{
    const QImage shot = grab();
    return !shot.isNull() && QDir().mkpath(QFileInfo(path).absolutePath()) && shot.save(path);
}

bool HeadlessSession::hasBusName(const QString &name) const
{
    const QDBusMessage reply = callBus(QDBusMessage::createMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                                      "org.freedesktop.DBus", "NameHasOwner")
                                       << name);
    return !reply.arguments().isEmpty() && reply.arguments().constFirst().toBool();
}

QDBusMessage HeadlessSession::callBus(const QDBusMessage &message, int timeoutMs) const
{
    if (!m_bus.isRunning())
        return QDBusMessage::createError(QDBusError::Disconnected, "no bus");
    if (m_busConnectionName.isEmpty())
        m_busConnectionName = "headless-session-" + QUuid::createUuid().toString(QUuid::Id128);
    return QDBusConnection::connectToBus(m_bus.address(), m_busConnectionName).call(message, QDBus::Block, timeoutMs);
}

QVariant HeadlessSession::busProperty(const QString &service, const QString &path, const QString &interface,
                                      const QString &name, int timeoutMs) const
{
    QDBusMessage get = QDBusMessage::createMethodCall(service, path, "org.freedesktop.DBus.Properties", "Get");
    get << interface << name;
    const QDBusMessage reply = callBus(get, timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return reply.arguments().constFirst().value<QDBusVariant>().variant();
}

QStringList HeadlessSession::registeredStatusNotifierItems() const
{
    if (!hasBusName(watcherService))
        return {};
    return busProperty(watcherService, "/StatusNotifierWatcher", watcherService, "RegisteredStatusNotifierItems")
        .toStringList();
}

bool HeadlessSession::trayHostRegistered() const
{
    return busProperty(watcherService, "/StatusNotifierWatcher", watcherService, "IsStatusNotifierHostRegistered", 2000)
        .toBool();
}

HeadlessSession::Start HeadlessSession::prepareGnomeShell(QProcessEnvironment &env, const PrivateBus::Launch &systemBus)
{
    if (!QFileInfo::exists("/usr/share/gnome-shell/extensions/ubuntu-appindicators@ubuntu.com"))
        return fail(Start::unavailable, "gnome-shell-extension-appindicator is not installed");
    if (!writeFile(m_home.path() + "/.config/glib-2.0/settings/keyfile", gnomeSettings))
        return fail(Start::failed, "cannot write the shell's settings");
    if (!m_systemBus.start(env, systemBus))
        return fail(Start::unavailable, m_systemBus.errorString());
    env.insert("XDG_CURRENT_DESKTOP", "GNOME");
    env.insert("GSETTINGS_BACKEND", "keyfile");
    env.insert("LIBGL_ALWAYS_SOFTWARE", "1");
    env.insert("DBUS_SYSTEM_BUS_ADDRESS", m_systemBus.address());
    return Start::ready;
}

bool HeadlessSession::leaveOverview() const
{
    const auto active = [this] {
        const QVariant shown = busProperty("org.gnome.Shell", "/org/gnome/Shell", "org.gnome.Shell", "OverviewActive");
        return !shown.isValid() || shown.toBool();
    };
    waitUntil(active, 10000, nullptr, 100);
    QDBusMessage set = QDBusMessage::createMethodCall("org.gnome.Shell", "/org/gnome/Shell",
                                                      "org.freedesktop.DBus.Properties", "Set");
    set << QStringLiteral("org.gnome.Shell") << QStringLiteral("OverviewActive")
        << QVariant::fromValue(QDBusVariant(false));
    int quiet = 0; // checks in a row with the overview left
    return waitUntil(
        [&] {
            quiet = active() ? (callBus(set), 0) : quiet + 1;
            return quiet >= 10;
        },
        30000, nullptr, 200);
}

HeadlessSession::Start HeadlessSession::startKded(std::unique_ptr<QProcess> &kded)
{
    if (!(kded = spawn("kded5", {}, "kded5.log")))
        return Start::unavailable;
    if (!waitUntil([this] { return hasBusName("org.kde.kded5"); }, 30000, kded.get()))
        return fail(Start::failed, "kded5 did not come up on the bus");
    QDBusMessage load = QDBusMessage::createMethodCall("org.kde.kded5", "/kded", "org.kde.kded5", "loadModule");
    load << QStringLiteral("statusnotifierwatcher");
    const QDBusMessage loaded = callBus(load, 20000);
    if (loaded.arguments().isEmpty() || !loaded.arguments().constFirst().toBool())
        return fail(Start::failed, "kded5 did not load its statusnotifierwatcher module: " + loaded.errorMessage());
    return hasBusName(watcherService) ? Start::ready : fail(Start::failed, "kded5 loaded no watcher");
}

} // namespace pelmora
