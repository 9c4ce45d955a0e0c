#include "ProcStatLine.h"
#include "platform/SystemInfo.h"
#include "services/ProcProcessSource.h"
#include "testsupport/FixtureTree.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHash>
#include <QTest>

#include <csignal>
#include <ctime>
#include <sys/wait.h>
#include <unistd.h>

using namespace pelmora;

namespace {

const quint64 kHz = platform::clockTicksPerSecond();
const quint64 kPage = platform::pageSizeBytes();
constexpr std::uint32_t kKernelThread = 0x00208040; // PF_KTHREAD | PF_NOFREEZE | PF_FORKNOEXEC

// A proc root with an uptime of 1000 s, a clock the test moves, and a lookup
// that names every process "App" unless told otherwise and counts its calls.
struct ProcFixture {
    FixtureTree tree;
    double now = 50.0;
    ProcProcessSource source{tree.path().toStdString(), [this] { return now; }};
    QHash<int, std::optional<QString>> names;
    QHash<int, int> lookups;
    QHash<int, QString> commandPaths;
    quint64 generation = 1;

    ProcFixture() { tree.write("uptime", "1000.00 1800.00\n"); }

    void add(const StatFields &stat, const QString &exe = {}, const QByteArray &cmdline = {})
    {
        const QString dir = QString::number(stat.pid) + '/';
        tree.write(dir + "stat", statLine(stat));
        tree.write(dir + "cmdline", cmdline);
        tree.write(dir + "cgroup", "0::/user.slice/app.slice/app-test.scope\n");
        tree.remove(dir + "exe");
        if (!exe.isEmpty())
            tree.symlink(dir + "exe", exe); // dangling is fine: only the target is read
    }

    QList<ProcessMetric> read()
    {
        return source.read(
            [this](const ProcessFacts &facts, std::string_view commandPath) -> std::optional<QString> {
                ++lookups[facts.pid];
                commandPaths[facts.pid] = QString::fromUtf8(commandPath.data(), qsizetype(commandPath.size()));
                return names.value(facts.pid, QStringLiteral("App"));
            },
            generation);
    }

    static const ProcessMetric *find(const QList<ProcessMetric> &rows, int pid)
    {
        for (const ProcessMetric &row : rows)
            if (row.id == pid)
                return &row;
        return nullptr;
    }
};

StatFields process(int pid, quint64 cpuTicks = 0, quint64 startTime = 0)
{
    StatFields f;
    f.pid = pid;
    f.comm = "proc" + QByteArray::number(pid);
    f.utime = cpuTicks;
    f.startTime = startTime;
    return f;
}

} // namespace

class TestProcProcessSource : public QObject {
    Q_OBJECT
private slots:
    void cpuFigures_data()
    {
        QTest::addColumn<double>("startSecond"); // uptime is 1000 s
        QTest::addColumn<double>("firstCpuSeconds");
        QTest::addColumn<double>("secondCpuSeconds");
        QTest::addColumn<double>("wallSeconds");
        QTest::addColumn<double>("firstPercent");
        QTest::addColumn<double>("secondPercent");

        QTest::newRow("lifetime, then interval") << 500.0 << 50.0 << 52.0 << 4.0 << 10.0 << 50.0;
        QTest::newRow("several threads exceed 100") << 500.0 << 50.0 << 60.0 << 4.0 << 10.0 << 250.0;
        QTest::newRow("counter went back") << 500.0 << 50.0 << 40.0 << 4.0 << 10.0 << 0.0;
        QTest::newRow("started this instant") << 1000.0 << 1.0 << 2.0 << 1.0 << 0.0 << 100.0;
        QTest::newRow("start after uptime") << 2000.0 << 1.0 << 2.0 << 2.0 << 0.0 << 50.0;
        QTest::newRow("no time passed keeps the figure") << 500.0 << 50.0 << 51.0 << 0.0 << 10.0 << 10.0;
    }
    void cpuFigures()
    {
        QFETCH(double, startSecond);
        QFETCH(double, firstCpuSeconds);
        QFETCH(double, secondCpuSeconds);
        QFETCH(double, wallSeconds);

        ProcFixture proc;
        StatFields f = process(7, 0, quint64(startSecond * kHz));
        f.utime = quint64(firstCpuSeconds * kHz) / 2;
        f.stime = quint64(firstCpuSeconds * kHz) - f.utime;
        proc.add(f);
        QList<ProcessMetric> rows = proc.read();
        QCOMPARE(rows.size(), 1);
        QTEST(rows[0].cpuPercent, "firstPercent");

        f.utime = quint64(secondCpuSeconds * kHz);
        f.stime = 0;
        proc.tree.write("7/stat", statLine(f));
        proc.now += wallSeconds;
        rows = proc.read();
        QCOMPARE(rows.size(), 1);
        QTEST(rows[0].cpuPercent, "secondPercent");
    }

    void zeroUsageAndKernelThreads_data()
    {
        QTest::addColumn<QByteArray>("rss");
        QTest::addColumn<quint64>("cpuTicks");
        QTest::addColumn<quint32>("flags");
        QTest::addColumn<bool>("named");
        QTest::addColumn<int>("listedPages"); // resident pages of the listed row; -1: not listed
        QTest::addColumn<int>("lookups");
        QTest::addColumn<int>("cached");

        const quint32 user = 0x00400000;
        const quint64 idle = 0;
        QTest::newRow("resident, idle") << QByteArray("25") << idle << user << true << 25 << 1 << 1;
        QTest::newRow("busy, nothing resident") << QByteArray("0") << kHz << user << true << 0 << 1 << 1;
        QTest::newRow("neither: not looked up") << QByteArray("0") << idle << user << true << -1 << 0 << 1;
        QTest::newRow("negative rss counts as none") << QByteArray("-4") << idle << user << true << -1 << 0 << 1;
        // Remembered only as a kernel thread, so later passes can skip it.
        QTest::newRow("kernel thread") << QByteArray("25") << kHz << kKernelThread << true << -1 << 0 << 1;
        QTest::newRow("no application") << QByteArray("25") << kHz << user << false << -1 << 1 << 1;
    }
    void zeroUsageAndKernelThreads()
    {
        QFETCH(QByteArray, rss);
        QFETCH(quint64, cpuTicks);
        QFETCH(quint32, flags);
        QFETCH(bool, named);
        QFETCH(int, listedPages);

        ProcFixture proc;
        StatFields f = process(30, cpuTicks, 100 * kHz);
        f.rss = rss;
        f.flags = flags;
        proc.add(f, "/usr/bin/thing");
        if (!named)
            proc.names[30] = std::nullopt;
        const QList<ProcessMetric> rows = proc.read();
        QCOMPARE(rows.size(), listedPages < 0 ? 0 : 1);
        if (listedPages >= 0)
            QCOMPARE(rows[0].memoryBytes, quint64(listedPages) * kPage);
        QTEST(proc.lookups.value(30), "lookups");
        QTEST(int(proc.source.cachedProcessCount()), "cached");
    }

    void names_data()
    {
        QTest::addColumn<QByteArray>("comm");
        QTest::addColumn<QString>("exe");
        QTest::addColumn<QByteArray>("cmdline");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("commandPath");

        QTest::newRow("short comm") << QByteArray("bash") << "/usr/bin/bash" << QByteArray("-bash\0", 6) << "bash"
                                    << "/usr/bin/bash";
        QTest::newRow("truncated comm, exe")
            << QByteArray("gnome-terminal-") << "/usr/libexec/gnome-terminal-server" << QByteArray()
            << "gnome-terminal-server" << "/usr/libexec/gnome-terminal-server";
        QTest::newRow("deleted exe") << QByteArray("long-daemon-nam") << "/opt/bin/long-daemon-name (deleted)"
                                     << QByteArray() << "long-daemon-name" << "/opt/bin/long-daemon-name";
        QTest::newRow("truncated comm, absolute argv0")
            << QByteArray("xdg-desktop-por") << QString() << QByteArray("/usr/libexec/xdg-desktop-portal\0-v\0", 35)
            << "xdg-desktop-portal" << "/usr/libexec/xdg-desktop-portal";
        QTest::newRow("truncated comm, relative argv0")
            << QByteArray("xdg-desktop-por") << QString() << QByteArray("xdg-desktop-portal\0", 19)
            << "xdg-desktop-portal" << QString();
        QTest::newRow("script keeps its own comm")
            << QByteArray("my-backup-scrip") << "/usr/bin/python3.11"
            << QByteArray("/usr/bin/python3\0/home/u/my-backup-script.py\0", 45) << "my-backup-scrip"
            << "/usr/bin/python3.11";
        QTest::newRow("shorter comm is not a cut")
            << QByteArray("gnome-terminal") << "/usr/libexec/gnome-terminal-server" << QByteArray()
            << "gnome-terminal" << "/usr/libexec/gnome-terminal-server";
    }
    void names()
    {
        QFETCH(QByteArray, comm);
        QFETCH(QString, exe);
        QFETCH(QByteArray, cmdline);

        ProcFixture proc;
        StatFields f = process(40, kHz, kHz);
        f.comm = comm;
        proc.add(f, exe, cmdline);
        const QList<ProcessMetric> rows = proc.read();
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].id, 40);
        QCOMPARE(rows[0].appName, QStringLiteral("App"));
        QTEST(rows[0].name, "name");
        QTEST(proc.commandPaths.value(40), "commandPath");
    }

    void unreadableEntriesAreSkipped()
    {
        ProcFixture proc;
        proc.tree.makeDir("10"); // ended after the folder was listed
        proc.tree.write("11/stat", statLine(process(11)).left(40));
        proc.tree.write("12/stat", "\0\0\0garbage");
        proc.tree.write("14/stat", "");
        proc.add(process(13, kHz, kHz), "/usr/bin/ok");
        proc.tree.symlink("self", "13");
        proc.tree.makeDir("1x");
        proc.tree.makeDir("0");
        const QList<ProcessMetric> rows = proc.read();
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].id, 13);
        QCOMPARE(proc.source.cachedProcessCount(), 1u);

        proc.tree.remove("uptime"); // a new process then has no lifetime figure
        proc.add(process(15, kHz, kHz), "/usr/bin/ok");
        QCOMPARE(ProcFixture::find(proc.read(), 15)->cpuPercent, 0.0);
    }

    void oneLookupAndFactsPerProcessLifetime()
    {
        ProcFixture proc;
        StatFields named = process(50, 0, 10 * kHz);
        named.comm = "worker";
        proc.add(named, "/usr/bin/worker");
        proc.add(process(51, 0, 10 * kHz), "/usr/bin/daemon");
        proc.names[51] = std::nullopt;

        for (int pass = 0; pass < 3; ++pass)
            QCOMPARE(proc.read().size(), 1);
        QCOMPARE(proc.lookups.value(50), 1);
        QCOMPARE(proc.lookups.value(51), 1); // remembered as nameless

        // comm is followed every pass; the executable is a fact of the lifetime.
        named.comm = "worker:busy";
        proc.add(named, "/usr/bin/replaced");
        QList<ProcessMetric> rows = proc.read();
        QCOMPARE(rows.value(0).name, QStringLiteral("worker:busy"));
        QCOMPARE(proc.lookups.value(50), 1);

        // A new generation asks again, once, with the facts already read.
        proc.names[51] = QStringLiteral("Daemon");
        ++proc.generation;
        QCOMPARE(proc.read().size(), 2);
        QCOMPARE(proc.read().size(), 2);
        QCOMPARE(proc.lookups.value(50), 2);
        QCOMPARE(proc.lookups.value(51), 2);
        QCOMPARE(proc.commandPaths.value(50), QStringLiteral("/usr/bin/worker"));
    }

    void reusedPidIsANewProcess()
    {
        ProcFixture proc;
        proc.add(process(60, 500 * kHz, 0), "/usr/bin/old");
        QCOMPARE(proc.read().value(0).cpuPercent, 50.0); // 500 s of 1000

        // Same pid, later start, fewer ticks: a lifetime figure of its own,
        // not a negative or zero interval against the old process.
        proc.add(process(60, 90 * kHz, 900 * kHz), "/usr/bin/new");
        proc.now += 5;
        QCOMPARE(proc.read().value(0).cpuPercent, 90.0);
        QCOMPARE(proc.lookups.value(60), 2);
        QCOMPARE(proc.commandPaths.value(60), QStringLiteral("/usr/bin/new"));
    }

    void unclaimedPidTakenByAnApplicationShowsWithinSixPasses()
    {
        ProcFixture proc;
        proc.add(process(90, 10 * kHz, 0), "/usr/bin/app");
        proc.add(process(91, 10 * kHz, 0), "/usr/sbin/daemon");
        proc.names[91].reset();
        QCOMPARE(proc.read().size(), 1);

        // The daemon ends and an application's process takes its pid.
        proc.add(process(91, 5 * kHz, 500 * kHz), "/usr/bin/app");
        proc.names.remove(91);
        int passes = 0;
        while (!ProcFixture::find(proc.read(), 91) && ++passes < 10) {
            proc.now += 5;
            // The application's own figures still move every pass.
            proc.add(process(90, (10 + 5 * quint64(passes)) * kHz, 0), "/usr/bin/app");
            QCOMPARE(ProcFixture::find(proc.read(), 90)->cpuPercent, 100.0);
        }
        QVERIFY2(passes < 6, qPrintable(QString::number(passes)));
        QCOMPARE(ProcFixture::find(proc.read(), 91)->cpuPercent, 1.0); // 5 s over its 500 s of life
    }

    void baselinesFollowLiveProcesses()
    {
        ProcFixture proc;
        for (int pid = 70; pid < 75; ++pid)
            proc.add(process(pid, 0, kHz));
        StatFields idle = process(75, 0, kHz);
        idle.rss = "0";
        proc.add(idle); // not listed, but its baseline is held
        QCOMPARE(proc.read().size(), 5);
        QCOMPARE(proc.source.cachedProcessCount(), 6u);

        proc.tree.remove("71");
        proc.tree.remove("75");
        QCOMPARE(proc.read().size(), 4);
        QCOMPARE(proc.source.cachedProcessCount(), 4u);

        // A pid that comes back is new: its baseline was dropped.
        proc.add(process(71, 100 * kHz, 0));
        QCOMPARE(ProcFixture::find(proc.read(), 71)->cpuPercent, 10.0);

        for (int pid = 70; pid < 75; ++pid)
            proc.tree.remove(QString::number(pid));
        QVERIFY(proc.read().isEmpty());
        QCOMPARE(proc.source.cachedProcessCount(), 0u);
    }

    // A forked child idles, then spins: the second pass must show the
    // interval (about one processor, less on a loaded machine), not the
    // lifetime average, which the idle second would halve. The child's own
    // CPU clock is the independent measure.
    void busyChildOnTheRealSystem()
    {
        int go[2];
        QCOMPARE(::pipe(go), 0);
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            char byte;
            ::close(go[1]);
            if (::read(go[0], &byte, 1) == 1) {
                volatile unsigned long spin = 0;
                for (;;)
                    spin = spin + 1;
            }
            ::_exit(0);
        }
        ::close(go[0]);
        struct Reaper {
            pid_t pid;
            int pipe;
            ~Reaper()
            {
                ::close(pipe);
                ::kill(pid, SIGKILL);
                ::waitpid(pid, nullptr, 0);
            }
        } reaper{child, go[1]};

        clockid_t childClock{};
        QCOMPARE(::clock_getcpuclockid(child, &childClock), 0);
        const auto seconds = [](clockid_t clock) {
            timespec t{};
            ::clock_gettime(clock, &t);
            return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
        };

        ProcProcessSource source;
        const auto onlyChild = [child](const ProcessFacts &facts, std::string_view) -> std::optional<QString> {
            return facts.pid == child ? std::optional<QString>(QStringLiteral("Spinner")) : std::nullopt;
        };
        QTest::qWait(1000);
        const double wall0 = seconds(CLOCK_MONOTONIC);
        const double cpu0 = seconds(childClock);
        QCOMPARE(source.read(onlyChild, 1).size(), 1);
        QCOMPARE(::write(go[1], "x", 1), ssize_t(1));
        QTest::qWait(1000);
        const double wall1 = seconds(CLOCK_MONOTONIC);
        const double cpu1 = seconds(childClock);
        const QList<ProcessMetric> rows = source.read(onlyChild, 1);

        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].id, child);
        QCOMPARE(rows[0].appName, QStringLiteral("Spinner"));
        QVERIFY(rows[0].memoryBytes > 0);
        // The test binary's name is longer than comm's 15 characters.
        QCOMPARE(rows[0].name, QFileInfo(QCoreApplication::applicationFilePath()).fileName());
        const double expected = 100.0 * (cpu1 - cpu0) / (wall1 - wall0);
        const QByteArray figures = QByteArray::number(rows[0].cpuPercent) + " vs " + QByteArray::number(expected);
        QVERIFY2(expected > 10.0, figures); // the child got to run at all
        QVERIFY2(qAbs(rows[0].cpuPercent - expected) < qMax(5.0, expected * 0.15), figures);
        QVERIFY(source.cachedProcessCount() > 1);
    }
};

QTEST_GUILESS_MAIN(TestProcProcessSource)
#include "tst_procprocesssource.moc"
