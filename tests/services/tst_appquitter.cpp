// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Quitting an application: which processes are asked at all (over a fake
// /proc), which route each one takes, which sockets lead to a display
// server, and the whole path on live processes without a bus or a display,
// where only SIGTERM is left. Every live process is the test's own child,
// stopped by its pid.
#include "platform/ProcessSignal.h"
#include "services/quit/AppQuitter.h"
#include "services/quit/DisplayConnections.h"
#include "services/quit/QuitRoute.h"
#include "services/quit/ServerReach.h"
#include "services/quit/WaylandQuitWindows.h"
#include "services/quit/X11QuitWindows.h"
#include "testsupport/FixtureTree.h"
#include "testsupport/SignalCheck.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTest>
#include <QThread>

#include <csignal>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace pelmora;
using namespace Qt::StringLiterals;
using Reason = QuitOutcome::Reason;

Q_DECLARE_METATYPE(pelmora::Candidacy)
Q_DECLARE_METATYPE(pelmora::QuitRoute)
Q_DECLARE_METATYPE(pelmora::RouteFacts)
Q_DECLARE_METATYPE(pelmora::QuitOutcome::Reason)
Q_DECLARE_METATYPE(pelmora::BusConnectionFacts)
Q_DECLARE_METATYPE(std::optional<std::size_t>)

namespace {

QByteArray statLine(int pid, int ppid, quint64 startTime)
{
    return QByteArray::number(pid) + " (apprun) S " + QByteArray::number(ppid)
        + " 1 1 0 -1 4194560 100 0 0 0 5 3 0 0 20 0 1 0 " + QByteArray::number(startTime) + " 1000000 250\n";
}

// A child that runs `command` (the program, its argv[0], then arguments that
// keep it waiting) once `setUp` has run in it; killed and reaped when it goes.
struct Child {
    pid_t pid = -1;
    explicit Child(std::vector<const char *> command, const std::function<void()> &setUp = {})
    {
        command.push_back(nullptr);
        pid = ::fork();
        if (pid == 0) {
            if (setUp)
                setUp();
            ::execv(command[0], const_cast<char *const *>(command.data() + 1));
            ::_exit(127);
        }
        // Ready once the kernel shows the new program and its arguments: exec
        // switches the executable before it lays out the command line.
        const QString program = QString::fromLocal8Bit(command[0]);
        const QString exe = QFile::symLinkTarget(program), proc = QStringLiteral("/proc/%1/").arg(pid);
        const QByteArray argv0 = QByteArray(command[1]) + '\0';
        for (QDeadlineTimer deadline(5000); !deadline.hasExpired(); QThread::msleep(5))
            if (QFile::symLinkTarget(proc + "exe") == (exe.isEmpty() ? program : exe)
                && fileContents(proc + "cmdline").startsWith(argv0))
                return;
        qWarning("child %d did not start %s", pid, command[0]);
    }
    ~Child()
    {
        if (pid > 0 && ::kill(pid, SIGKILL) == 0)
            ::waitpid(pid, nullptr, 0);
    }
    // The signal that ended it, 0 for an exit, -1 while it still runs after `timeoutMs`.
    int endedBy(int timeoutMs)
    {
        for (QDeadlineTimer deadline(timeoutMs);; QThread::msleep(10)) {
            int status = 0;
            if (::waitpid(pid, &status, WNOHANG) == pid) {
                pid = -1;
                return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
            }
            if (deadline.hasExpired())
                return -1;
        }
    }
};

} // namespace

class TestAppQuitter : public QObject {
    Q_OBJECT

    FixtureTree m_data;

private slots:
    void initTestCase()
    {
        m_data.write("applications/fixture.desktop", desktopEntry("Fixture App", "/opt/fixture/apprun"));
        m_data.write("applications/other.desktop", desktopEntry("Other App", "/opt/other/otherrun"));
        // Nothing an entry names is ever run: the quit goes through this one.
        const QByteArray trap = "sh -c 'touch " + QFile::encodeName(m_data.filePath("ran")) + "'";
        m_data.write("applications/tail.desktop", desktopEntry("Tailer", "tail -f", "TryExec=" + trap + "\n"));
        m_data.write("applications/trap.desktop", desktopEntry("Trap", trap));
        // No session bus and no display: only the signal route is left, and it runs at once.
        for (const char *name : {"DBUS_SESSION_BUS_ADDRESS", "XDG_RUNTIME_DIR", "DISPLAY", "WAYLAND_DISPLAY"})
            qunsetenv(name);
    }

    // Over a fake /proc: pid, parent, executable, argv[0], control group,
    // real and effective uid, the start time the user saw.
    void candidacy_data()
    {
        QTest::addColumn<int>("pid");
        QTest::addColumn<quint64>("seenStartTime");
        QTest::addColumn<QString>("app");
        QTest::addColumn<Candidacy>("expected");
        const auto row = [](const char *why, int pid, quint64 seen, const char *app, Candidacy expected) {
            QTest::newRow(why) << pid << seen << QString(app) << expected;
        };
        row("top process", 100, 5000, "fixture app", Candidacy::ask);
        row("asked for another application", 100, 5000, "other app", Candidacy::notInApplication);
        row("child of the same application", 101, 5000, "fixture app", Candidacy::childOfApplication);
        row("parent unreadable", 102, 5000, "fixture app", Candidacy::ask);
        row("child of another application", 103, 5000, "fixture app", Candidacy::ask);
        row("another application's process", 104, 5000, "fixture app", Candidacy::notInApplication);
        row("argv[0] alone claims the application", 105, 5000, "fixture app", Candidacy::notInApplication);
        row("its app scope names the application", 106, 5000, "fixture app", Candidacy::ask);
        row("real uid another user's, effective ours", 107, 5000, "fixture app", Candidacy::otherUser);
        row("real uid ours, effective root", 108, 5000, "fixture app", Candidacy::ask);
        row("status without a uid", 109, 5000, "fixture app", Candidacy::otherUser);
        row("pid now names a later process", 100, 4999, "fixture app", Candidacy::otherProcess);
        row("start time not sampled", 100, 0, "fixture app", Candidacy::unknownStartTime);
        row("malformed stat", 110, 5000, "fixture app", Candidacy::noProcess);
        row("vanished", 111, 5000, "fixture app", Candidacy::noProcess);
        row("pid 1", 1, 5000, "fixture app", Candidacy::noProcess);
        row("pid 0", 0, 5000, "fixture app", Candidacy::noProcess);
    }
    void candidacy()
    {
        QFETCH(int, pid);
        QFETCH(quint64, seenStartTime);
        QFETCH(QString, app);
        QFETCH(Candidacy, expected);
        constexpr std::uint32_t us = 1000;
        FixtureTree proc;
        const QByteArray scope = "0::/user.slice/user-1000.slice/user@1000.service/app.slice/app-fixture-4242.scope\n";
        struct P {
            int pid, ppid;
            const char *exe, *argv0;
            QByteArray cgroup, status;
        };
        for (const P &p : std::initializer_list<P>{
                 {1, 0, "/opt/fixture/apprun", "apprun", "0::/\n", "Uid:\t0\t0\t0\t0\n"},
                 {100, 1, "/opt/fixture/apprun", "apprun", "0::/\n", "Name:\tapprun\nUid:\t1000\t1000\t1000\t1000\n"},
                 {101, 100, "/opt/fixture/apprun", "apprun", "0::/\n", "Uid:\t1000\t1000\t1000\t1000\n"},
                 {102, 999, "/opt/fixture/apprun", "apprun", "0::/\n", "Uid:\t1000\t1000\t1000\t1000\n"},
                 {103, 104, "/opt/fixture/apprun", "apprun", "0::/\n", "Uid:\t1000\t1000\t1000\t1000\n"},
                 {104, 1, "/opt/other/otherrun", "otherrun", "0::/\n", "Uid:\t1000\t1000\t1000\t1000\n"},
                 {105, 1, "/usr/bin/sleep", "/opt/fixture/apprun", "0::/\n", "Uid:\t1000\t1000\t1000\t1000\n"},
                 {106, 1, "/usr/bin/python3", "python3", scope, "Uid:\t1000\t1000\t1000\t1000\n"},
                 {107, 1, "/opt/fixture/apprun", "apprun", "0::/\n", "Uid:\t1001\t1000\t1000\t1000\n"},
                 {108, 1, "/opt/fixture/apprun", "apprun", "0::/\n", "Uid:\t1000\t0\t0\t0\n"},
                 {109, 1, "/opt/fixture/apprun", "apprun", "0::/\n", "Name:\tapprun\nGid:\t1000\n"},
                 {110, 1, "/opt/fixture/apprun", "apprun", "0::/\n", "Uid:\t1000\t1000\t1000\t1000\n"}}) {
            const QString dir = QString::number(p.pid) + '/';
            proc.symlink(dir + "exe", p.exe);
            proc.write(dir + "cmdline", QByteArray(p.argv0) + '\0');
            proc.write(dir + "cgroup", p.cgroup);
            proc.write(dir + "status", p.status);
            proc.write(dir + "stat", p.pid == 110 ? QByteArray("110 (apprun) garbage") : statLine(p.pid, p.ppid, 5000));
        }
        const AppRegistry registry(RegistryPaths{m_data.path(), {}, {}});
        const ProcessMetric seen{pid, app, "apprun", 0.0, 4096, seenStartTime};
        const platform::ProcRoot root(proc.path().toStdString());
        const ProcessNow now = readProcessNow(root, registry, pid);
        QCOMPARE(judgeCandidate(seen, app, now, us), expected);

        // A start time that changed while the rest was read means another process too.
        if (expected == Candidacy::ask) {
            ProcessNow replaced = now;
            replaced.startTimeAfter += 1;
            QCOMPARE(judgeCandidate(seen, app, replaced, us), Candidacy::otherProcess);
        }
    }

    void routes_data()
    {
        QTest::addColumn<RouteFacts>("facts");
        QTest::addColumn<QuitRoute>("expected");
        QTest::addColumn<Reason>("reason");
        // A quit action, closable and unclosable windows, a display client, window attributes known.
        const auto row = [](const char *why, RouteFacts facts, QuitRoute route, Reason reason) {
            QTest::newRow(why) << facts << route << reason;
        };
        row("quit action over windows", {true, 2, 0, true, true}, QuitRoute::ownQuitCommand, Reason::none);
        row("quit action, windows unknowable", {true, 0, 0, true, false}, QuitRoute::ownQuitCommand, Reason::none);
        row("windows", {false, 1, 0, true, true}, QuitRoute::closeWindows, Reason::none);
        row("some windows closable", {false, 1, 1, true, true}, QuitRoute::closeWindows, Reason::none);
        row("only windows that would be killed", {false, 0, 1, true, true}, QuitRoute::none, Reason::forceOnly);
        row("display client, no window proven", {false, 0, 0, true, true}, QuitRoute::none, Reason::unseenWindows);
        row("display client, window system silent", {false, 0, 0, true, false}, QuitRoute::none,
            Reason::windowSystemSilent);
        row("windowless", {false, 0, 0, false, true}, QuitRoute::terminate, Reason::none);
        row("windowless, window system silent", {false, 0, 0, false, false}, QuitRoute::terminate, Reason::none);
    }
    void routes()
    {
        QFETCH(RouteFacts, facts);
        const RouteChoice choice = chooseRoute(facts);
        QTEST(choice.route, "expected");
        QTEST(choice.reason, "reason");
    }

    // What an application is told from the choices for its processes.
    void outcomes()
    {
        using Kind = QuitOutcome::Kind;
        const RouteChoice asked{QuitRoute::closeWindows, Reason::none}, unseen{QuitRoute::none, Reason::unseenWindows},
            silent{QuitRoute::none, Reason::windowSystemSilent}, force{QuitRoute::none, Reason::forceOnly};
        const auto outcome = [](std::initializer_list<RouteChoice> choices, bool others) {
            const std::vector<RouteChoice> list(choices);
            const QuitOutcome o = outcomeOf(u"app"_s, u"App"_s, list, others);
            return std::tuple(o.kind, o.reason, o.canEnd);
        };
        QCOMPARE(outcome({}, false), std::tuple(Kind::gone, Reason::none, false));
        QCOMPARE(outcome({}, true), std::tuple(Kind::noRoute, Reason::otherUsers, false));
        QCOMPARE(outcome({unseen, asked}, true), std::tuple(Kind::asked, Reason::none, true));
        QCOMPARE(outcome({unseen, force}, false), std::tuple(Kind::noRoute, Reason::forceOnly, true));
        QCOMPARE(outcome({unseen, force, silent}, false), std::tuple(Kind::noRoute, Reason::windowSystemSilent, true));
        QCOMPARE(outcome({unseen}, true), std::tuple(Kind::noRoute, Reason::unseenWindows, true));
    }

    // Whether a bus connection that the bus attributes to the target's pid is the target's.
    void busConnections_data()
    {
        QTest::addColumn<BusConnectionFacts>("facts");
        QTest::addColumn<bool>("expected");
        const auto row = [](const char *why, BusConnectionFacts facts, bool expected) {
            QTest::newRow(why) << facts << expected;
        };
        // The bus's pid for it, a ProcessFD offered and the pid it names, the bus
        // in our pid namespace, connections with that pid, the target's own.
        const quint32 t = 4242;
        row("one connection, held by the target", {t, false, {}, true, 1, 1}, true);
        row("two connections, both held", {t, false, {}, true, 2, 2}, true);
        row("pid reused, connection held by another", {t, false, {}, true, 1, 0}, false);
        row("one of two held: which is which?", {t, false, {}, true, 2, 1}, false);
        row("holds one more than the bus names", {t, false, {}, true, 1, 2}, false);
        row("sockets unreadable", {t, false, {}, true, 1, std::nullopt}, false);
        row("bus in another pid namespace", {t, false, {}, false, 1, 1}, false);
        row("another pid", {t + 1, false, {}, true, 1, 1}, false);
        row("ProcessFD names the target, whatever else", {t, true, t, false, 1, 0}, true);
        row("ProcessFD of a process that ended", {t, true, {}, true, 1, 1}, false);
        row("ProcessFD of another process", {t, true, t + 7, true, 1, 1}, false);
    }
    void busConnections()
    {
        QFETCH(BusConnectionFacts, facts);
        QTEST(isTargetsConnection(facts, 4242), "expected");
        QVERIFY(!isTargetsConnection(facts, 1));
    }

    // The X server's word on whose a window is, checked against the target's connections.
    void x11Windows_data()
    {
        QTest::addColumn<std::optional<std::size_t>>("targetConnections");
        QTest::addColumn<bool>("withResources");
        QTest::addColumn<QList<quint32>>("expected");
        const auto row = [](const char *why, std::optional<std::size_t> connections, bool resources,
                            QList<quint32> expected) { QTest::newRow(why) << connections << resources << expected; };
        row("its two clients, both connections held", std::size_t(2), true, {0x200001, 0x200005});
        row("one of the pid's clients is not its", std::size_t(1), true, {});
        row("pid reused: no client is its", std::size_t(0), true, {});
        row("sockets unreadable", std::nullopt, true, {});
        row("no X-Resource", std::size_t(2), false, {});
    }
    void x11Windows()
    {
        QFETCH(std::optional<std::size_t>, targetConnections);
        QFETCH(bool, withResources);
        platform::X11Desktop desktop;
        // Clients at 0x200000 and 0xa00000 (pid 42, the second without a window),
        // 0x400000 (pid 43); 0x600000 is remote (no pid); 0x800000 left a window
        // behind when it went.
        desktop.windows = {{0x200001, 0x200000, true},
                           {0x400001, 0x400000, true},
                           {0x600001, 0x600000, true},
                           {0x200005, 0x200000, false},
                           {0x800001, 0x800000, true}};
        if (withResources)
            desktop.clients = std::vector<platform::X11Client>{{0x200000, 42}, {0x400000, 43}, {0xa00000, 42}};
        QList<quint32> proven;
        for (const platform::X11ClientWindow &window : windowsProvenFor(desktop, 42, targetConnections))
            proven << window.id;
        QTEST(proven, "expected");
        QVERIFY(windowsProvenFor(desktop, 0, targetConnections).empty());
        QCOMPARE(x11ServerNames("/tmp/.X11-unix/X3"),
                 (std::vector<std::string>{"/tmp/.X11-unix/X3", "@/tmp/.X11-unix/X3"}));
    }

    // A Wayland window names no process: its app_id must be one of the
    // application's names, whole, and only ASCII case is folded.
    void waylandAppIds_data()
    {
        QTest::addColumn<QString>("desktopId");
        QTest::addColumn<QString>("wmClass");
        QTest::addColumn<QByteArray>("exe");
        QTest::addColumn<QByteArray>("appId");
        QTest::addColumn<bool>("names");
        const auto row = [](const char *why, const QString &desktopId, const QString &wmClass, const QByteArray &exe,
                            const QByteArray &appId,
                            bool names) { QTest::newRow(why) << desktopId << wmClass << exe << appId << names; };
        row("desktop id", u"org.kde.kwrite.desktop"_s, {}, "/usr/bin/kwrite", "org.kde.kwrite", true);
        row("window class, its case", u"org.gnome.gedit.desktop"_s, u"Gedit"_s, "/usr/bin/gedit-bin", "gedit", true);
        row("executable", u"featherpad.desktop"_s, {}, "/usr/bin/featherpad", "featherpad", true);
        row("no entry: executable", {}, {}, "/usr/bin/foot", "foot", true);
        row("part of a name", u"org.kde.kwrite.desktop"_s, {}, "/opt/kwrite5", "kwrite", false);
        row("an interpreter", u"org.example.Tool.desktop"_s, {}, "/usr/bin/python3", "python3", false);
        row("other case rules", u"\u00dcber.desktop"_s, {}, "/opt/x", "\u00fcber", false); // the app_id in UTF-8
        row("no app_id", u"x.desktop"_s, {}, "/opt/x", {}, false);
    }
    void waylandAppIds()
    {
        QFETCH(QString, desktopId);
        QFETCH(QString, wmClass);
        QFETCH(QByteArray, exe);
        QFETCH(QByteArray, appId);
        const IndexedApp app{desktopId, u"Name"_s, wmClass};
        const std::vector<QString> names = windowNamesOf(desktopId.isEmpty() ? nullptr : &app, exe.toStdString());
        QTEST(appIdNames(appId.toStdString(), names), "names");
    }

    // Pids a server reports are ours only when it shares our pid namespace,
    // read from the status files as the quit reads them.
    void pidNamespaces_data()
    {
        QTest::addColumn<QByteArray>("own");
        QTest::addColumn<QByteArray>("server");
        QTest::addColumn<int>("serverPid"); // -1: unknown
        QTest::addColumn<bool>("expected");
        const QByteArray top = "Name:\tx\nNSpid:\t812\nNSsid:\t1\n", nested = "NSpid:\t812\t1\nNSsid:\t1\n";
        QTest::newRow("both here") << top << top << 812 << true;
        QTest::newRow("server one level down") << top << nested << 812 << false;
        QTest::newRow("we one level down, server beside us") << nested << nested << 812 << true;
        QTest::newRow("server outside: pid 0") << top << top << 0 << false;
        QTest::newRow("server unknown (TCP)") << top << top << -1 << false;
        QTest::newRow("no NSpid line") << top << QByteArray("Name:\tx\n") << 812 << false;
        QTest::newRow("malformed NSpid") << top << QByteArray("NSpid:\t81x\n") << 812 << false;
        QTest::newRow("empty NSpid") << top << QByteArray("NSpid:\n") << 812 << false;
    }
    void pidNamespaces()
    {
        QFETCH(QByteArray, own);
        QFETCH(QByteArray, server);
        QFETCH(int, serverPid);
        const std::optional<std::int32_t> pid = serverPid < 0 ? std::nullopt : std::optional(serverPid);
        FixtureTree proc;
        proc.write(u"self/status"_s, own);
        proc.write(u"812/status"_s, server);
        QTEST(sharesPidNamespace(platform::ProcRoot(proc.path().toStdString()), pid), "expected");
    }

    // Where a client reaches the bus, from its address; empty: none to reach.
    void busAddresses()
    {
        for (const auto &[address, socket] : std::initializer_list<std::pair<const char *, const char *>>{
                 {"unix:path=/run/user/1000/bus", "/run/user/1000/bus"}, // systemd's
                 {"unix:abstract=/tmp/dbus-Xq2,guid=0f1e", "@/tmp/dbus-Xq2"}, // dbus-daemon's own
                 {"unix:path=/tmp/a%20b%2cc", "/tmp/a b,c"},
                 {"tcp:host=localhost,port=1;unix:guid=1,path=/x;unix:path=/y", "/x"}, // the first unix entry
                 {"unix:path=/tmp/a%2", ""}, // bad escape
                 {"unix:path=/tmp/a%00b", ""},
                 {"tcp:host=localhost,port=1", ""},
                 {"", "/run/user/7/bus"}}) { // no address: the runtime folder's
            const std::string got = platform::busSocketName(address, "/run/user/7");
            QVERIFY2(got == socket, address);
        }
    }

    // The pid a pidfd names, from its fdinfo.
    void pidfdInfo()
    {
        QCOMPARE(platform::parsePidfdPid("pos:\t0\nflags:\t02000002\nmnt_id:\t15\nPid:\t4242\nNSpid:\t4242\n"), 4242);
        QCOMPARE(platform::parsePidfdPid("Pid:\t-1\nNSpid:\t-1\n"), -1);
        QCOMPARE(platform::parsePidfdPid("pos:\t0\nPid:\t12x\n"), std::nullopt);
        QCOMPARE(platform::parsePidfdPid("pos:\t0\nflags:\t02\n"), std::nullopt);
        QCOMPARE(platform::parsePidfdPid("NSpid:\t5\n"), std::nullopt);
    }

    void objectPaths()
    {
        for (const auto &[name, path] : std::initializer_list<std::pair<QString, QString>>{
                 {"org.xfce.mousepad", "/org/xfce/mousepad"}, // dots become slashes
                 {"org.gnome.Text-Editor2", "/org/gnome/Text_Editor2"}, // dashes become underscores
                 {":1.42", ""}, // a unique name
                 {"org..x", ""},
                 {"org.x.", ""},
                 {"org/x.y", ""},
                 {"org.é.x", ""}, // not ASCII
                 {"", ""}})
            QVERIFY2(applicationObjectPath(name) == path, qPrintable(name));
    }

    void displaySocketNames()
    {
        const std::string compositor = waylandSocketPath("weston", "/run/user/1000");
        for (const auto &[name, display] : std::initializer_list<std::pair<const char *, bool>>{
                 {"/tmp/.X11-unix/X0", true},
                 {"@/tmp/.X11-unix/X12", true},
                 {"/tmp/.X11-unix/Xfoo", false},
                 {"/tmp/.X11-unix/X", false},
                 {"/run/user/1000/wayland-0", true},
                 {"/run/user/1000/wayland-0.lock", false},
                 {"/run/user/1000/weston", true}, // this session's compositor
                 {"/run/user/1000/bus", false},
                 {"", false}}) // unbound
            QVERIFY2(isDisplaySocketName(name, compositor) == display, name);
    }

    // One process's sockets against this namespace's table and its own socket
    // tables: does it talk to a display server, and how many connections does
    // it hold to the X server (-1: cannot be counted).
    void displayConnections_data()
    {
        QTest::addColumn<QList<quint64>>("held"); // 0 alone: descriptors unreadable
        QTest::addColumn<bool>("withTables");
        QTest::addColumn<bool>("expected");
        QTest::addColumn<int>("x11Connections");
        QTest::newRow("descriptors unreadable") << QList<quint64>{0} << true << true << -1;
        QTest::newRow("no sockets") << QList<quint64>{} << true << false << 0;
        QTest::newRow("session bus only") << QList<quint64>{11} << true << false << 0;
        QTest::newRow("X client") << QList<quint64>{11, 21} << true << true << 1;
        QTest::newRow("X client through the file") << QList<quint64>{23} << true << true << 1;
        QTest::newRow("Wayland client") << QList<quint64>{31} << true << true << 0;
        QTest::newRow("the X server itself") << QList<quint64>{20} << true << true << 0;
        QTest::newRow("not connected") << QList<quint64>{40} << true << false << 0;
        QTest::newRow("X over TCP") << QList<quint64>{900} << true << true << 0;
        QTest::newRow("other TCP") << QList<quint64>{901} << true << false << 0;
        QTest::newRow("unix socket of a sandbox") << QList<quint64>{902} << true << true << -1;
        QTest::newRow("unplaced, tables unreadable") << QList<quint64>{901} << false << true << -1;
    }
    void displayConnections()
    {
        QFETCH(QList<quint64>, held);
        QFETCH(bool, withTables);
        // A socket bound to nothing and connected nowhere, and for each server a
        // listener and one connection: its server's end and its client's.
        std::vector<platform::UnixSocket> table{{40, 0, ""}};
        for (const auto &[listener, server, client, name] :
             std::initializer_list<std::tuple<std::uint32_t, std::uint32_t, std::uint32_t, const char *>>{
                 {10, 12, 11, "/run/user/1000/bus"},
                 {20, 22, 21, "@/tmp/.X11-unix/X0"},
                 {24, 25, 23, "/tmp/.X11-unix/X0"},
                 {30, 32, 31, "/run/user/1000/wayland-1"}})
            table.insert(table.end(), {{listener, 0, name}, {server, client, name}, {client, server, ""}});
        const std::optional<SocketLinks> links(std::in_place, table, "");
        HeldSockets sockets;
        if (held != QList<quint64>{0})
            sockets.inodes = std::vector<std::uint64_t>(held.cbegin(), held.cend());
        if (withTables) {
            sockets.unixTable = "Num       RefCount Protocol Flags    Type St Inode Path\n"
                                "0000000000000000: 00000002 00000000 00000000 0001 03 902\n"
                                "0000000000000000: 00000002 00000000 00010000 0001 01 10 /run/user/1000/bus\n";
            sockets.tcpTables = {
                "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  timeout inode\n"
                "   0: 0100007F:B1C2 0100007F:1770 01 00000000:00000000 00:00000000 00000000  1000        0 900 1\n"
                "   1: 0100007F:B1C3 0100007F:0050 01 00000000:00000000 00:00000000 00000000  1000        0 901 1\n"};
        }
        QTEST(talksToDisplayServer(sockets, links), "expected");
        QVERIFY(talksToDisplayServer(sockets, std::nullopt) == (!sockets.inodes || !sockets.inodes->empty()));
        const std::optional<std::size_t> connections = connectionsTo(sockets, links,
                                                                     x11ServerNames("@/tmp/.X11-unix/X0"));
        QTEST(connections ? int(*connections) : -1, "x11Connections");
    }

    // Live children, one quit: each is asked only when it should be, and only by SIGTERM here.
    void liveProcesses()
    {
        FixtureTree sockets;
        const QByteArray compositorPath = QFile::encodeName(sockets.filePath("wayland-7"));
        const int compositor = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, compositorPath.constData(), sizeof address.sun_path);
        QVERIFY(::bind(compositor, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0
                && ::listen(compositor, 4) == 0);
        const auto connectToCompositor = [&address] {
            const int client = ::socket(AF_UNIX, SOCK_STREAM, 0);
            if (::connect(client, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0)
                ::_exit(126);
        };
        const auto holdSocketPair = [] {
            int pair[2];
            if (::socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0)
                ::_exit(126);
        };

        const std::vector<const char *> tail{"/usr/bin/tail", "tail", "-f", "/dev/null"};
        Child plain(tail), paired(tail, holdSocketPair), client(tail, connectToCompositor),
            renamed({"/usr/bin/sleep", "tail", "600"}), unseen(tail);
        const int accepted = ::accept4(compositor, nullptr, nullptr, SOCK_CLOEXEC);
        QVERIFY(accepted >= 0);
        // The registry that builds the list does count the renamed one in: the quit must not.
        const AppRegistry registry(RegistryPaths{m_data.path(), {}, {}});
        const platform::ProcRoot root;
        QCOMPARE(registry.applicationName(readProcessFacts(root, renamed.pid)).value_or(""), u"Tailer");

        AppMetric app{"tailer", "Tailer", 0, 1, {}};
        for (const pid_t pid : {plain.pid, paired.pid, client.pid, renamed.pid, unseen.pid, 1})
            app.processes.append(ProcessMetric{pid, "Tailer", "tail", 0.0, 4096,
                                               readProcessNow(root, registry, pid).startTime + (pid == unseen.pid)});
        const platform::ProcessHandle pin = platform::ProcessHandle::open(plain.pid);
        QVERIFY(pin.isValid() && !pin.hasEnded() && pin.currentPid() == plain.pid);
        std::optional<QuitOutcome> answer;
        quitApplication(app, registry, root, [&](QuitOutcome outcome) { answer = outcome; });

        for (const auto &[child, asked, why] : std::initializer_list<std::tuple<Child *, bool, const char *>>{
                 {&plain, true, "windowless"},
                 {&paired, true, "holds a socket pair"},
                 {&client, false, "talks to a compositor"},
                 {&renamed, false, "argv[0] alone"},
                 {&unseen, false, "not the process the user saw"}})
            QVERIFY2(pelmora::wasSignalledToEnd(child->pid) == asked, why);
        QCOMPARE(plain.endedBy(5000), SIGTERM);
        // A pin outlives its process: nothing reusing the pid is reached through it.
        QVERIFY(pin.hasEnded() && !pin.sendSignal(SIGTERM));
        QCOMPARE(pin.currentPid(), std::nullopt);
        QVERIFY(!pelmora::wasSignalledToEnd(1));
        QVERIFY(answer && answer->kind == QuitOutcome::Kind::asked && answer->appId == u"tailer");

        // The one left could be asked nothing, and says so; ending it is up to the user.
        AppMetric rest{"tailer", "Tailer", 0, 1, app.processes.mid(2, 3)}; // client, renamed, unseen
        quitApplication(rest, registry, root, [&](QuitOutcome outcome) { answer = outcome; });
        QCOMPARE(answer->kind, QuitOutcome::Kind::noRoute);
        QCOMPARE(answer->reason, Reason::windowSystemSilent); // no display to ask here
        QVERIFY(answer->canEnd && !pelmora::wasSignalledToEnd(client.pid));
        QCOMPARE(endApplication(rest, registry, root), std::size_t(1));
        QCOMPARE(client.endedBy(5000), SIGTERM);
        QVERIFY(!pelmora::wasSignalledToEnd(renamed.pid) && !pelmora::wasSignalledToEnd(unseen.pid));
        QVERIFY(!QFile::exists(m_data.filePath("ran")));
        ::close(accepted);
        ::close(compositor);
    }
};

QTEST_GUILESS_MAIN(TestAppQuitter)
#include "tst_appquitter.moc"
