// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "WaylandSession.h"

#include "ProcessTree.h"
#include "platform/SwayIpc.h"

#include <QtCore>
#include <QtDBus>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

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
    return QDir().mkpath(QFileInfo(path).absolutePath()) && file.open(QIODevice::WriteOnly)
        && file.write(text) == text.size();
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

WaylandSession::WaylandSession(Options options) : m_options(options)
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
    QStringList tools;
    switch (m_options.compositor) {
    case Compositor::sway:
        tools = {"sway", "waybar", "grim"};
        break;
    case Compositor::weston:
        tools = {"weston", "weston-screenshooter"};
        break;
    case Compositor::kwin:
        tools = {"kwin_wayland", "kded5", "plasmashell"};
        break;
    case Compositor::gnomeShell:
        tools = {"gnome-shell"};
        break;
    }
    if (m_options.compositor == Compositor::kwin
        && !QFileInfo::exists("/usr/lib/x86_64-linux-gnu/qt5/plugins/platforms/libqwayland-generic.so"))
        return fail(Start::unavailable, "Plasma 5 needs Qt 5's Wayland plugin (qtwayland5)");
    if (m_options.compositor == Compositor::gnomeShell
        && !QFileInfo::exists("/usr/share/gnome-shell/extensions/ubuntu-appindicators@ubuntu.com"))
        return fail(Start::unavailable, "gnome-shell-extension-appindicator is not installed");
    tools << "dbus-daemon";
    if (!m_user.isOwnUser() || ::getuid() == 0)
        tools << "useradd"
              << "userdel";
    if (m_options.xwayland)
        tools << "Xwayland";
    for (const QString &tool : tools)
        if (QStandardPaths::findExecutable(tool).isEmpty())
            return fail(Start::unavailable, tool + " is not installed");
    if ((sway || m_options.compositor == Compositor::kwin)
        && !QFileInfo(PELMORA_BINARY_DIR "/tests/helpers/pelmora_seat").isExecutable())
        return fail(Start::unavailable, "pelmora_seat is not built");

    const QString home = m_home.path();
    if (!m_home.isValid() || !QDir().mkpath(home + "/runtime") || !QDir().mkpath(home + "/.config"))
        return fail(Start::failed, "cannot create a temporary home");
    if (!m_user.create(home))
        return fail(Start::unavailable, m_user.errorString());
    QFile::setPermissions(home,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                              | QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther
                              | QFileDevice::ExeOther);
    QFile::setPermissions(home + "/runtime", QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (!writeFile(home + "/bus.conf", busConfiguration) || !m_user.own(home))
        return fail(Start::failed, "cannot prepare the session's home");

    QProcessEnvironment env;
    const QList<QPair<const char *, QString>> values{{"PATH", qEnvironmentVariable("PATH", "/usr/bin:/bin")},
                                                     {"LANG", "C.UTF-8"},
                                                     {"HOME", home},
                                                     {"XDG_CONFIG_HOME", home + "/.config"},
                                                     {"XDG_CACHE_HOME", home + "/.cache"},
                                                     {"XDG_DATA_HOME", home + "/.local/share"},
                                                     {"XDG_RUNTIME_DIR", home + "/runtime"},
                                                     {"NO_AT_BRIDGE", "1"},
                                                     {"GTK_A11Y", "none"},
                                                     {"XDG_SESSION_TYPE", "wayland"}};
    for (const auto &[name, value] : values)
        env.insert(QLatin1String(name), value);
    PrivateBus::Launch bus;
    bus.configuration = QStringList{"--config-file=" + home + "/bus.conf"};
    bus.childModifier = m_user.becomeUser();
    if (!m_bus.start(env, 5000, bus))
        return fail(Start::unavailable, m_bus.errorString());
    env.insert("DBUS_SESSION_BUS_ADDRESS", m_bus.address());
    m_environment = env;
    switch (m_options.compositor) {
    case Compositor::sway:
        return startSway();
    case Compositor::weston:
        return startWeston();
    case Compositor::kwin:
        return startKwin();
    case Compositor::gnomeShell:
        return startGnomeShell();
    }
    return Start::failed;
}

WaylandSession::Start WaylandSession::startSway()
{
    const QString home = m_home.path();
    const QString ready = home + "/session.ready";
    if (!writeFile(
            home + "/sway.conf",
            QString::fromLatin1(swayConfiguration).arg(m_options.xwayland ? "enable" : "disable", ready).toUtf8())
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

    if (const Start seat = startSeat(); seat != Start::ready)
        return seat;

    // waybar's tray is the watcher; the bar is up once sway leaves room for it.
    for (const QDeadlineTimer deadline(20000); !deadline.hasExpired(); QThread::msleep(100))
        if (busProperty(watcherService, "/StatusNotifierWatcher", watcherService, "IsStatusNotifierHostRegistered")
                .toBool()
            && freeArea().top() > 0)
            return Start::ready;
    return fail(Start::failed, "waybar showed no tray in time");
}

WaylandSession::Start WaylandSession::startSeat()
{
    m_seat = std::make_unique<QProcess>();
    m_seat->setProcessEnvironment(m_environment);
    m_seat->setChildProcessModifier(m_user.becomeUser());
    m_seat->start(PELMORA_BINARY_DIR "/tests/helpers/pelmora_seat",
                  {QString::number(screenSize.width()), QString::number(screenSize.height())});
    if (!m_seat->waitForStarted(5000) || !m_seat->waitForReadyRead(10000) || m_seat->readLine().trimmed() != "ready")
        return fail(Start::failed, "no pointer or keyboard: " + QString::fromLocal8Bit(m_seat->readAllStandardError()));
    return Start::ready;
}

WaylandSession::Start WaylandSession::startWeston()
{
    const QString home = m_home.path();
    const QString socket = QStringLiteral("pelmora-test");
    QStringList arguments{"--backend=headless-backend.so",
                          "--socket=" + socket,
                          "--use-pixman",
                          "--width=1280",
                          "--height=800",
                          "--debug" /* lets weston-screenshooter in */};
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
        if (QFileInfo::exists(home + "/runtime/" + socket) && (!m_options.xwayland || match.hasMatch())
            && !grab().isNull()) {
            if (match.hasMatch())
                m_environment.insert("DISPLAY", match.captured(1));
            return Start::ready;
        }
        if (m_compositor->state() != QProcess::Running || deadline.hasExpired())
            return fail(Start::failed, "weston did not come up: " + text.right(800));
    }
}

QProcess *WaylandSession::startHelper(const QString &program, const QStringList &arguments, const QString &log)
{
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(m_environment);
    process->setChildProcessModifier(m_user.becomeUser());
    process->setWorkingDirectory(m_home.path());
    process->setStandardOutputFile(m_home.path() + "/" + log, QIODevice::Append);
    process->setStandardErrorFile(m_home.path() + "/" + log, QIODevice::Append);
    process->start(program, arguments);
    if (!process->waitForStarted(5000))
        return nullptr;
    m_programs.push_back(std::move(process));
    return m_programs.back().get();
}

bool WaylandSession::hasBusName(const QString &name) const
{
    const QDBusMessage reply = callBus(QDBusMessage::createMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                                      "org.freedesktop.DBus", "NameHasOwner")
                                       << name);
    return !reply.arguments().isEmpty() && reply.arguments().constFirst().toBool();
}

QDBusMessage WaylandSession::callBus(const QDBusMessage &message, int timeoutMs) const
{
    if (!m_bus.isRunning())
        return QDBusMessage::createError(QDBusError::Disconnected, "no bus");
    if (m_busConnectionName.isEmpty())
        m_busConnectionName = "wayland-session-" + QUuid::createUuid().toString(QUuid::Id128);
    return QDBusConnection::connectToBus(m_bus.address(), m_busConnectionName).call(message, QDBus::Block, timeoutMs);
}

WaylandSession::Start WaylandSession::startKwin()
{
    // The packaged binary carries a file capability that an unprivileged
    // container refuses to exec; a copy has none.
    const QString home = m_home.path();
    const QString kwin = home + "/kwin_wayland";
    if (!QFile::copy(QStandardPaths::findExecutable("kwin_wayland"), kwin) || !m_user.own(kwin))
        return fail(Start::failed, "cannot copy kwin_wayland");
    const QList<QPair<const char *, QString>> values{{"XDG_CURRENT_DESKTOP", "KDE"},
                                                     {"KDE_FULL_SESSION", "true"},
                                                     {"KDE_SESSION_VERSION", "5"},
                                                     {"QT_QPA_PLATFORM", "wayland"},
                                                     {"WAYLAND_DISPLAY", "pelmora-kwin"},
                                                     // Lets the matrix take screenshots over org.kde.KWin.ScreenShot2.
                                                     {"KWIN_SCREENSHOT_NO_PERMISSION_CHECKS", "1"}};
    QVariantMap activation;
    for (const auto &[name, value] : values) {
        m_environment.insert(QLatin1String(name), value);
        activation.insert(QLatin1String(name), value);
    }
    // kactivitymanagerd, which plasmashell needs, is started by the bus.
    QDBusMessage update = QDBusMessage::createMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                         "org.freedesktop.DBus", "UpdateActivationEnvironment");
    qDBusRegisterMetaType<QMap<QString, QString>>();
    QMap<QString, QString> variables;
    for (auto it = activation.cbegin(); it != activation.cend(); ++it)
        variables.insert(it.key(), it.value().toString());
    variables.insert("XDG_RUNTIME_DIR", m_environment.value("XDG_RUNTIME_DIR"));
    update << QVariant::fromValue(variables);
    callBus(update);

    // KWin gives its fake-input protocol only to a program whose desktop file asks for it.
    const QString seat = QFileInfo(PELMORA_BINARY_DIR "/tests/helpers/pelmora_seat").canonicalFilePath();
    if (!writeFile(home + "/.local/share/applications/pelmora-seat.desktop",
                   "[Desktop Entry]\nType=Application\nName=pelmora_seat\nNoDisplay=true\nExec=" + seat.toUtf8()
                       + "\nX-KDE-Wayland-Interfaces=org_kde_kwin_fake_input\n")
        || !m_user.own(home))
        return fail(Start::failed, "cannot write the seat's desktop file");

    m_compositor = std::make_unique<QProcess>();
    QProcessEnvironment env = m_environment;
    env.remove("QT_QPA_PLATFORM");
    env.remove("WAYLAND_DISPLAY");
    m_compositor->setProcessEnvironment(env);
    m_compositor->setChildProcessModifier(m_user.becomeUser());
    m_compositor->setWorkingDirectory(home);
    m_compositor->setStandardOutputFile(home + "/kwin.log");
    m_compositor->setStandardErrorFile(home + "/kwin.log", QIODevice::Append);
    m_compositor->start(kwin,
                        {"--virtual", "--xwayland", "--socket", "pelmora-kwin", "--width", "1280", "--height", "800",
                         "--no-lockscreen"});
    if (!m_compositor->waitForStarted(5000))
        return fail(Start::unavailable, "kwin_wayland cannot start: " + m_compositor->errorString());
    for (const QDeadlineTimer deadline(30000); !hasBusName("org.kde.KWin"); QThread::msleep(100))
        if (deadline.hasExpired() || m_compositor->state() != QProcess::Running)
            return fail(Start::failed, "kwin_wayland did not come up");
    if (const Start seat = startSeat(); seat != Start::ready)
        return seat;
    if (!startHelper("kded5", {}, "kded5.log"))
        return fail(Start::unavailable, "kded5 cannot start");
    for (const QDeadlineTimer deadline(30000); !hasBusName("org.kde.kded5"); QThread::msleep(100))
        if (deadline.hasExpired())
            return fail(Start::failed, "kded5 did not come up on the bus");
    // Outside a real login kded5 may leave its session modules alone: ask for the watcher.
    callBus(QDBusMessage::createMethodCall("org.kde.kded5", "/kded", "org.kde.kded5", "loadModule")
                << QStringLiteral("statusnotifierwatcher"),
            20000);
    if (!startHelper("plasmashell", {}, "plasmashell.log"))
        return fail(Start::unavailable, "plasmashell cannot start");
    for (const QDeadlineTimer deadline(90000); !deadline.hasExpired(); QThread::msleep(500)) {
        if (!busProperty(watcherService, "/StatusNotifierWatcher", watcherService, "IsStatusNotifierHostRegistered")
                 .toBool())
            continue;
        const QList<View> windows = kwinViews();
        if (std::any_of(windows.cbegin(), windows.cend(), [](const View &v) { return v.rect.height() < 100; }))
            return Start::ready;
    }
    return fail(Start::failed, "Plasma showed no panel in time");
}

// GNOME Shell reads its settings through GSETTINGS_BACKEND=keyfile from here.
static const char *gnomeSettings = R"([org/gnome/shell]
enabled-extensions=['ubuntu-appindicators@ubuntu.com']
disable-user-extensions=false
welcome-dialog-last-shown-version='999'
)";

WaylandSession::Start WaylandSession::startGnomeShell()
{
    const QString home = m_home.path();
    if (!writeFile(home + "/.config/glib-2.0/settings/keyfile", gnomeSettings) || !m_user.own(home))
        return fail(Start::failed, "cannot write the shell's settings");
    PrivateBus::Launch system;
    system.childModifier = m_user.becomeUser();
    system.configuration = QStringList{"--config-file=" + home + "/bus.conf"};
    if (!m_systemBus.start(m_environment, 5000, system))
        return fail(Start::unavailable, m_systemBus.errorString());
    const QList<QPair<const char *, QString>> values{{"XDG_CURRENT_DESKTOP", "GNOME"},
                                                     {"GSETTINGS_BACKEND", "keyfile"},
                                                     {"LIBGL_ALWAYS_SOFTWARE", "1"},
                                                     {"DBUS_SYSTEM_BUS_ADDRESS", m_systemBus.address()}};
    for (const auto &[name, value] : values)
        m_environment.insert(QLatin1String(name), value);
    m_compositor = std::make_unique<QProcess>();
    m_compositor->setProcessEnvironment(m_environment);
    m_compositor->setChildProcessModifier(m_user.becomeUser());
    m_compositor->setWorkingDirectory(home);
    m_compositor->setStandardOutputFile(home + "/gnome-shell.log");
    m_compositor->setStandardErrorFile(home + "/gnome-shell.log", QIODevice::Append);
    m_compositor->start("gnome-shell",
                        {"--wayland", "--headless", "--virtual-monitor", "1280x800", "--wayland-display",
                         "pelmora-gnome", "--sm-disable"});
    if (!m_compositor->waitForStarted(5000))
        return fail(Start::unavailable, "gnome-shell cannot start: " + m_compositor->errorString());
    m_environment.insert("WAYLAND_DISPLAY", "pelmora-gnome");
    for (const QDeadlineTimer deadline(90000);; QThread::msleep(200)) {
        if (hasBusName("org.gnome.Shell") && hasBusName(watcherService)
            && busProperty(watcherService, "/StatusNotifierWatcher", watcherService, "IsStatusNotifierHostRegistered")
                   .toBool())
            break;
        if (deadline.hasExpired() || m_compositor->state() != QProcess::Running) {
            QFile log(home + "/gnome-shell.log");
            log.open(QIODevice::ReadOnly);
            return fail(Start::failed,
                        "GNOME Shell did not come up: " + QString::fromLocal8Bit(log.readAll()).right(800));
        }
    }
    // It starts in its overview, which hides every window: leave it, for good.
    QDBusMessage set = QDBusMessage::createMethodCall("org.gnome.Shell", "/org/gnome/Shell",
                                                      "org.freedesktop.DBus.Properties", "Set");
    set << QStringLiteral("org.gnome.Shell") << QStringLiteral("OverviewActive")
        << QVariant::fromValue(QDBusVariant(false));
    for (int quiet = 0; quiet < 10; QThread::msleep(200))
        quiet = busProperty("org.gnome.Shell", "/org/gnome/Shell", "org.gnome.Shell", "OverviewActive").toBool()
            ? (callBus(set), 0)
            : quiet + 1;
    // Keys come through a remote-desktop session, as a remote user's would.
    const QDBusMessage created = callBus(
        QDBusMessage::createMethodCall("org.gnome.Mutter.RemoteDesktop", "/org/gnome/Mutter/RemoteDesktop",
                                       "org.gnome.Mutter.RemoteDesktop", "CreateSession"));
    if (!created.arguments().isEmpty()) {
        m_remoteDesktop = created.arguments().constFirst().value<QDBusObjectPath>().path();
        callBus(QDBusMessage::createMethodCall("org.gnome.Mutter.RemoteDesktop", m_remoteDesktop,
                                               "org.gnome.Mutter.RemoteDesktop.Session", "Start"));
        // The session's virtual keyboard may join the seat only with its
        // first key (the first key typed into a window was often lost): a
        // Shift tapped now makes sure that first key is not one that counts.
        gnomeKeysyms({0xffe1});
    }
    return Start::ready;
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
    m_systemBus.stop();
    m_remoteDesktop.clear();
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
    if (m_options.compositor == Compositor::kwin)
        return grabKwin();
    if (m_options.compositor == Compositor::gnomeShell)
        return grabGnomeShell();
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
    return shots.isEmpty() ? QImage()
                           : QImage(folder.filePath(shots.constFirst())).convertToFormat(QImage::Format_RGB32);
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
    QDBusMessage get = QDBusMessage::createMethodCall(service, path, "org.freedesktop.DBus.Properties", "Get");
    get << interface << name;
    const QDBusMessage reply = callBus(get, 3000);
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
    return platform::swayRequest(m_environment.value("SWAYSOCK"), platform::SwayMessage(type), payload, 3000)
        .value_or(QByteArray());
}

QList<WaylandSession::View> WaylandSession::views() const
{
    if (m_options.compositor == Compositor::kwin)
        return kwinViews();
    QList<View> found;
    const std::function<void(const QJsonObject &)> walk = [&](const QJsonObject &node) {
        if (const qint64 pid = node.value("pid").toInteger(); pid > 0) {
            const auto rect = [&](const char *key) {
                const QJsonObject r = node.value(QLatin1String(key)).toObject();
                return QRect(r.value("x").toInt(), r.value("y").toInt(), r.value("width").toInt(),
                             r.value("height").toInt());
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

QList<WaylandSession::View> WaylandSession::kwinViews() const
{
    // A KWin script lists the windows into KWin's log, marked with a name of its own.
    static int run = 0;
    const QString name = QStringLiteral("pelmora-views-%1").arg(++run);
    const QString script = m_home.path() + "/" + name + ".js";
    writeFile(script,
              QStringLiteral(R"(var all = workspace.clientList();
for (var i = 0; i < all.length; ++i) {
    var c = all[i], g = c.frameGeometry;
    print("%1 " + c.pid + " " + g.x + " " + g.y + " " + g.width + " " + g.height + " " + (workspace.activeClient == c)
          + " " + c.skipTaskbar + " " + c.resourceClass + " " + c.caption);
}
print("%1 end");
)")
                  .arg(name)
                  .toUtf8());
    m_user.own(script);
    callBus(QDBusMessage::createMethodCall("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting", "loadScript")
            << script << name);
    callBus(QDBusMessage::createMethodCall("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting", "start"));
    QList<View> found;
    for (const QDeadlineTimer deadline(5000); !deadline.hasExpired(); QThread::msleep(50)) {
        QFile log(m_home.path() + "/kwin.log");
        log.open(QIODevice::ReadOnly);
        const QString text = QString::fromLocal8Bit(log.readAll());
        if (!text.contains(name + " end"))
            continue;
        for (const QString &line : text.split(u'\n')) {
            const int at = line.indexOf(name + ' ');
            if (at < 0 || line.endsWith(name + " end"))
                continue;
            const QStringList f = line.mid(at + name.size() + 1).split(u' ');
            if (f.size() >= 8)
                found << View{f[0].toLongLong(),   f[7],
                              f.mid(8).join(u' '), QRect(f[1].toInt(), f[2].toInt(), f[3].toInt(), f[4].toInt()),
                              f[5] == u"true",     f[6] == u"true"};
        }
        break;
    }
    callBus(QDBusMessage::createMethodCall("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting", "unloadScript")
            << name);
    return found;
}

QImage WaylandSession::grabKwin() const
{
    // org.kde.KWin.ScreenShot2 writes the pixels into a pipe and tells their
    // layout. The message holds a duplicate of the write end: it has to go
    // before the read, or the pipe never reaches its end.
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return {};
    QDBusMessage reply;
    {
        QDBusMessage capture = QDBusMessage::createMethodCall("org.kde.KWin", "/org/kde/KWin/ScreenShot2",
                                                              "org.kde.KWin.ScreenShot2", "CaptureActiveScreen");
        capture << QVariantMap{{"native-resolution", true}} << QVariant::fromValue(QDBusUnixFileDescriptor(fds[1]));
        ::close(fds[1]);
        reply = callBus(capture, 10000);
    }
    QVariantMap layout;
    if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
        layout = qdbus_cast<QVariantMap>(reply.arguments().constFirst());
    const int width = layout.value("width").toInt(), height = layout.value("height").toInt(),
              stride = layout.value("stride").toInt();
    const qsizetype size = qsizetype(stride) * height;
    QByteArray data;
    char chunk[65536];
    for (const QDeadlineTimer deadline(10000);
         width > 0 && height > 0 && data.size() < size && !deadline.hasExpired();) {
        pollfd readable{fds[0], POLLIN, 0};
        if (::poll(&readable, 1, 200) <= 0)
            continue;
        const ssize_t n = ::read(fds[0], chunk, sizeof(chunk));
        if (n > 0)
            data.append(chunk, n);
        else if (n == 0 || errno != EINTR)
            break;
    }
    ::close(fds[0]);
    if (width <= 0 || height <= 0 || data.size() < size)
        return {};
    return QImage(reinterpret_cast<const uchar *>(data.constData()), width, height, stride,
                  QImage::Format(layout.value("format").toInt()))
        .convertToFormat(QImage::Format_RGB32);
}

QImage WaylandSession::grabGnomeShell() const
{
    // The shell takes screenshots for a few well-known names only; in this
    // private session the test may be one of them.
    if (m_busConnectionName.isEmpty())
        callBus(QDBusMessage::createMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                               "GetId"));
    QDBusConnection(m_busConnectionName).registerService("org.gnome.Screenshot");
    const QString path = m_home.path() + "/shot.png";
    QFile::remove(path);
    QDBusMessage shot = QDBusMessage::createMethodCall("org.gnome.Shell.Screenshot", "/org/gnome/Shell/Screenshot",
                                                       "org.gnome.Shell.Screenshot", "Screenshot");
    shot << false << false << path;
    const QDBusMessage reply = callBus(shot, 10000);
    if (reply.arguments().isEmpty() || !reply.arguments().constFirst().toBool())
        return {};
    return QImage(path).convertToFormat(QImage::Format_RGB32);
}

bool WaylandSession::gnomeKeysyms(const QList<quint32> &keysyms)
{
    if (m_remoteDesktop.isEmpty())
        return false;
    for (const quint32 keysym : keysyms)
        for (const bool pressed : {true, false}) {
            const QDBusMessage reply = callBus(
                QDBusMessage::createMethodCall("org.gnome.Mutter.RemoteDesktop", m_remoteDesktop,
                                               "org.gnome.Mutter.RemoteDesktop.Session", "NotifyKeyboardKeysym")
                << keysym << pressed);
            if (reply.type() != QDBusMessage::ReplyMessage)
                return false;
        }
    return true;
}

QRect WaylandSession::freeArea() const
{
    for (const QJsonValue &value :
         QJsonDocument::fromJson(swayRequest(int(platform::SwayMessage::getWorkspaces))).array()) {
        const QJsonObject workspace = value.toObject();
        const QJsonObject r = workspace.value("rect").toObject();
        if (workspace.value("focused").toBool())
            return QRect(r.value("x").toInt(), r.value("y").toInt(), r.value("width").toInt(),
                         r.value("height").toInt());
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
    // GTK (waybar) takes a second press on the same spot within its
    // double-click time (400 ms, and longer for a triple click) for a double
    // click, and its tray item then activates twice.
    constexpr qint64 doubleClickMs = 1000;
    if (m_sinceClick.isValid() && (point - m_lastClick).manhattanLength() <= 16)
        while (m_sinceClick.elapsed() <= doubleClickMs)
            QThread::msleep(std::uint64_t(doubleClickMs + 1 - m_sinceClick.elapsed()));
    m_sinceClick.start();
    m_lastClick = point;
    if (m_options.compositor != Compositor::gnomeShell)
        return seatCommand(QStringLiteral("click %1 %2").arg(point.x()).arg(point.y()));
    if (m_remoteDesktop.isEmpty())
        return false;
    // Absolute motion wants a screen-cast stream; relative motion does not:
    // into the bottom right corner, where the screen stops the pointer, then
    // back (the top left corner would open the overview).
    const auto call = [&](const char *method, const QVariantList &arguments) {
        QDBusMessage message = QDBusMessage::createMethodCall("org.gnome.Mutter.RemoteDesktop", m_remoteDesktop,
                                                              "org.gnome.Mutter.RemoteDesktop.Session", method);
        message.setArguments(arguments);
        return callBus(message).type() == QDBusMessage::ReplyMessage;
    };
    const int leftButton = 0x110; // BTN_LEFT
    // A screenshot between motion and button lets the shell draw a frame, by
    // which it knows the surface under the pointer.
    return call("NotifyPointerMotionRelative", {10000.0, 10000.0})
        && call("NotifyPointerMotionRelative",
                {double(point.x() - screenSize.width() + 1), double(point.y() - screenSize.height() + 1)})
        && !grabGnomeShell().isNull() && call("NotifyPointerButton", {leftButton, true})
        && call("NotifyPointerButton", {leftButton, false});
}

bool WaylandSession::type(const QString &text)
{
    if (m_options.compositor == Compositor::gnomeShell) {
        QList<quint32> keysyms;
        for (const QChar c : text)
            keysyms << c.unicode(); // Latin-1 keysyms are the characters' codes
        return gnomeKeysyms(keysyms);
    }
    return seatCommand(QStringLiteral("type ") + text);
}

bool WaylandSession::keys(const QStringList &names)
{
    if (m_options.compositor == Compositor::gnomeShell) {
        static const QHash<QString, quint32> known{
            {"Escape", 0xff1b}, {"Tab", 0xff09}, {"Down", 0xff54}, {"Return", 0xff0d}};
        QList<quint32> keysyms;
        for (const QString &name : names)
            keysyms << known.value(name);
        return !keysyms.contains(0) && gnomeKeysyms(keysyms);
    }
    return seatCommand(QStringLiteral("key ") + names.join(u' '));
}

} // namespace pelmora
