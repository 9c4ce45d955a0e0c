// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "WaylandSession.h"

#include "ProcessTree.h"
#include "platform/SwayIpc.h"

#include <QtCore>
#include <QtDBus>

#include <fcntl.h>
#include <grp.h>
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

// A rectangle as sway's IPC gives it.
QRect rectOf(const QJsonValue &value)
{
    const QJsonObject r = value.toObject();
    return QRect(r.value("x").toInt(), r.value("y").toInt(), r.value("width").toInt(), r.value("height").toInt());
}

// The processes whose real user is `uid`, read from /proc.
QList<qint64> processesOf(uid_t uid)
{
    QList<qint64> pids;
    for (const QFileInfo &entry : QDir(QStringLiteral("/proc")).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot))
        if (const qint64 pid = entry.fileName().toLongLong(); pid > 0 && entry.ownerId() == uid)
            pids << pid;
    return pids;
}

} // namespace

WaylandSession::WaylandSession(Options options) : m_options(options)
{
}

WaylandSession::~WaylandSession()
{
    stop();
}

WaylandSession::Start WaylandSession::start()
{
    stop();
    const bool sway = m_options.compositor == Compositor::sway;
    static const QStringList needs[] = {{"sway", "waybar", "grim"},
                                        {"weston", "weston-screenshooter"},
                                        {"kwin_wayland", "kded5", "plasmashell"},
                                        {"gnome-shell"}};
    QStringList tools = needs[int(m_options.compositor)];
    if (m_options.compositor == Compositor::kwin
        && !QFileInfo::exists("/usr/lib/x86_64-linux-gnu/qt5/plugins/platforms/libqwayland-generic.so"))
        return fail(Start::unavailable, "Plasma 5 needs Qt 5's Wayland plugin (qtwayland5)");
    tools << "dbus-daemon";
    if (::getuid() == 0)
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
    if (!makeHome() || !QDir().mkpath(home + "/.config"))
        return fail(Start::failed, "cannot create a temporary home");
    // Run as root, the session is a user's of its own (sway refuses root).
    static int sessions = 0;
    if (::getuid() == 0 && !m_user.emplace(QStringLiteral("s%1").arg(++sessions), home).isValid()) {
        const QString why = m_user->errorString();
        m_user.reset(); // never taken for a user whose processes are the session's
        return fail(Start::unavailable, why);
    }
    QFile::setPermissions(home,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                              | QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther
                              | QFileDevice::ExeOther);
    if (!writeFile(home + "/bus.conf", busConfiguration) || !own(home))
        return fail(Start::failed, "cannot prepare the session's home");
    if (m_user) {
        const uid_t uid = m_user->uid();
        const gid_t gid = m_user->gid();
        // Runs in the child between fork and exec: only async-signal-safe calls.
        m_becomeUser = [uid, gid] {
            if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
                ::_exit(127);
        };
    }
    m_workingDirectory = home;

    QProcessEnvironment env = homeEnvironment({});
    env.insert("PATH", qEnvironmentVariable("PATH", "/usr/bin:/bin"));
    env.insert("LANG", "C.UTF-8");
    env.insert("XDG_SESSION_TYPE", "wayland");
    if (!m_bus.start(env, {{"--config-file=" + home + "/bus.conf"}, m_becomeUser}))
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
        || !writeFile(home + "/.config/waybar/config", waybarConfiguration) || !own(home))
        return fail(Start::failed, "cannot write sway's configuration");
    m_environment.insert("XDG_CURRENT_DESKTOP", "sway");
    QProcessEnvironment env = m_environment;
    env.insert("WLR_BACKENDS", "headless");
    env.insert("WLR_LIBINPUT_NO_DEVICES", "1");
    env.insert("WLR_RENDERER", "pixman");
    if (!(m_compositor = spawn("sway", {"-c", home + "/sway.conf"}, "sway.log", env)))
        return Start::unavailable;
    QStringList told;
    const auto tell = [&] {
        QFile file(ready);
        told = file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()).split(u'\n') : QStringList();
        return told.size() >= 3;
    };
    if (!waitUntil(tell, 20000, m_compositor.get()))
        return fail(Start::failed, "sway did not come up: " + logTail("sway.log"));
    m_environment.insert("WAYLAND_DISPLAY", told.at(0));
    m_environment.insert("SWAYSOCK", told.at(1));
    if (m_options.xwayland)
        m_environment.insert("DISPLAY", told.at(2));

    if (const Start seat = startSeat(); seat != Start::ready)
        return seat;

    // waybar's tray is the watcher; the bar is up once sway leaves room for it.
    if (waitUntil([this] { return trayHostRegistered() && freeArea().top() > 0; }, 20000, nullptr, 100))
        return Start::ready;
    return fail(Start::failed, "waybar showed no tray in time");
}

WaylandSession::Start WaylandSession::startSeat()
{
    m_seat = spawn(PELMORA_BINARY_DIR "/tests/helpers/pelmora_seat",
                   {QString::number(screenSize.width()), QString::number(screenSize.height())});
    if (!m_seat)
        return Start::failed;
    if (!m_seat->waitForReadyRead(10000) || m_seat->readLine().trimmed() != "ready")
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
    if (!(m_compositor = spawn("weston", arguments, "weston.log")))
        return Start::unavailable;
    m_environment.insert("WAYLAND_DISPLAY", socket);
    const QRegularExpression xserver(QStringLiteral("listening on display (:\\d+)"));
    const auto up = [&] {
        const auto match = xserver.match(logTail("weston.log", -1));
        if (!QFileInfo::exists(home + "/runtime/" + socket) || (m_options.xwayland && !match.hasMatch())
            || grab().isNull())
            return false;
        if (match.hasMatch())
            m_environment.insert("DISPLAY", match.captured(1));
        return true;
    };
    if (waitUntil(up, 20000, m_compositor.get(), 100))
        return Start::ready;
    return fail(Start::failed, "weston did not come up: " + logTail("weston.log"));
}

WaylandSession::Start WaylandSession::startKwin()
{
    // The packaged binary carries a file capability that an unprivileged
    // container refuses to exec; a copy has none.
    const QString home = m_home.path();
    const QString kwin = home + "/kwin_wayland";
    if (!QFile::copy(QStandardPaths::findExecutable("kwin_wayland"), kwin) || !own(kwin))
        return fail(Start::failed, "cannot copy kwin_wayland");
    QMap<QString, QString> variables{{"XDG_CURRENT_DESKTOP", "KDE"},
                                     {"KDE_FULL_SESSION", "true"},
                                     {"KDE_SESSION_VERSION", "5"},
                                     {"QT_QPA_PLATFORM", "wayland"},
                                     {"WAYLAND_DISPLAY", "pelmora-kwin"},
                                     // Lets the matrix take screenshots over org.kde.KWin.ScreenShot2.
                                     {"KWIN_SCREENSHOT_NO_PERMISSION_CHECKS", "1"}};
    for (auto it = variables.cbegin(); it != variables.cend(); ++it)
        m_environment.insert(it.key(), it.value());
    // kactivitymanagerd, which plasmashell needs, is started by the bus.
    variables.insert("XDG_RUNTIME_DIR", m_environment.value("XDG_RUNTIME_DIR"));
    qDBusRegisterMetaType<QMap<QString, QString>>();
    callBus(QDBusMessage::createMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                           "UpdateActivationEnvironment")
            << QVariant::fromValue(variables));

    // KWin gives its fake-input protocol only to a program whose desktop file asks for it.
    const QString seat = QFileInfo(PELMORA_BINARY_DIR "/tests/helpers/pelmora_seat").canonicalFilePath();
    if (!writeFile(home + "/.local/share/applications/pelmora-seat.desktop",
                   "[Desktop Entry]\nType=Application\nName=pelmora_seat\nNoDisplay=true\nExec=" + seat.toUtf8()
                       + "\nX-KDE-Wayland-Interfaces=org_kde_kwin_fake_input\n")
        || !own(home))
        return fail(Start::failed, "cannot write the seat's desktop file");

    QProcessEnvironment env = m_environment;
    env.remove("QT_QPA_PLATFORM");
    env.remove("WAYLAND_DISPLAY");
    if (!(m_compositor = spawn(kwin,
                               {"--virtual", "--xwayland", "--socket", "pelmora-kwin", "--width", "1280", "--height",
                                "800", "--no-lockscreen"},
                               "kwin.log", env)))
        return Start::unavailable;
    if (!waitUntil([this] { return hasBusName("org.kde.KWin"); }, 30000, m_compositor.get(), 100))
        return fail(Start::failed, "kwin_wayland did not come up");
    if (const Start seat = startSeat(); seat != Start::ready)
        return seat;
    std::unique_ptr<QProcess> kded;
    const Start watcher = startKded(kded);
    keep(std::move(kded));
    if (watcher != Start::ready)
        return watcher;
    if (!keep(spawn("plasmashell", {}, "plasmashell.log")))
        return Start::unavailable;
    const auto panel = [this] {
        const QList<View> windows = trayHostRegistered() ? kwinViews() : QList<View>();
        return std::any_of(windows.cbegin(), windows.cend(), [](const View &v) { return v.rect.height() < 100; });
    };
    if (waitUntil(panel, 90000, nullptr, 500))
        return Start::ready;
    return fail(Start::failed, "Plasma showed no panel in time");
}

WaylandSession::Start WaylandSession::startGnomeShell()
{
    const QString home = m_home.path();
    if (const Start prepared = prepareGnomeShell(m_environment,
                                                 {{"--config-file=" + home + "/bus.conf"}, m_becomeUser});
        prepared != Start::ready)
        return prepared;
    if (!own(home))
        return fail(Start::failed, "cannot write the shell's settings");
    if (!(m_compositor = spawn("gnome-shell",
                               {"--wayland", "--headless", "--virtual-monitor", "1280x800", "--wayland-display",
                                "pelmora-gnome", "--sm-disable"},
                               "gnome-shell.log")))
        return Start::unavailable;
    m_environment.insert("WAYLAND_DISPLAY", "pelmora-gnome");
    const auto up = [this] { return hasBusName("org.gnome.Shell") && trayHostRegistered(); };
    if (!waitUntil(up, 90000, m_compositor.get(), 200))
        return fail(Start::failed, "GNOME Shell did not come up: " + logTail("gnome-shell.log"));
    if (!leaveOverview())
        return fail(Start::failed, "GNOME Shell stayed in its overview");
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
    stopAll({&m_seat, &m_compositor});
    m_remoteDesktop.clear();
    // The session's processes were stopped by PID; whatever of its user is
    // left (a daemon that detached) is this session's own as well.
    if (m_user)
        waitUntil(
            [uid = m_user->uid()] {
                const QList<qint64> left = processesOf(uid);
                for (qint64 pid : left)
                    ProcessTree::stop(pid, 500);
                return left.isEmpty();
            },
            5000);
    m_user.reset();
    m_becomeUser = {};
    m_workingDirectory.clear();
}

bool WaylandSession::own(const QString &path) const
{
    if (!m_user)
        return true;
    bool ok = m_user->give(path);
    for (QDirIterator it(path, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
         it.hasNext();)
        ok = m_user->give(it.next()) && ok;
    return ok;
}

QProcess *WaylandSession::startProgram(const QString &program, const QStringList &arguments,
                                       const QProcessEnvironment &extra)
{
    QProcessEnvironment env = m_environment;
    env.insert(extra);
    return keep(spawn(program, arguments, {}, env));
}

QImage WaylandSession::grab() const
{
    if (m_options.compositor == Compositor::kwin)
        return grabKwin();
    if (m_options.compositor == Compositor::gnomeShell)
        return grabGnomeShell();
    if (m_options.compositor == Compositor::sway)
        return fromPng(runTool("grim", {"-t", "png", "-l", "0", "-"}, 10000));
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
            const QRect outer = rectOf(node.value("rect")), inner = rectOf(node.value("window_rect"));
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
    own(script);
    callBus(QDBusMessage::createMethodCall("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting", "loadScript")
            << script << name);
    callBus(QDBusMessage::createMethodCall("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting", "start"));
    QList<View> found;
    QString text;
    if (waitUntil([&] { return (text = logTail("kwin.log", -1)).contains(name + " end"); }, 5000))
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
        if (value.toObject().value("focused").toBool())
            return rectOf(value.toObject().value("rect"));
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
