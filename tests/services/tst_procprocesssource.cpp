// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The /proc process reader: PID/stat parsing, then whole passes over a fake
// /proc with a clock the test moves.
#include "platform/SystemInfo.h"
#include "services/ProcProcessSource.h"
#include "services/ProcStat.h"
#include "testsupport/FixtureTree.h"

#include <QHash>
#include <QMap>
#include <QTest>

using namespace pelmora;

namespace {

const quint64 kHz = platform::clockTicksPerSecond();
const quint64 kPage = platform::pageSizeBytes();
const QByteArray kAppScope = "0::/user.slice/user-1000.slice/user@1000.service/app.slice/app-gnome-app-4.scope\n";

// A PID/stat line as the kernel writes it (52 fields).
struct StatFields {
    int pid = 1;
    QByteArray comm = "proc";
    quint64 utime = 0, startTime = 0;
    QByteArray rss = "100"; // text, so tests can write what the kernel never would
    quint32 flags = 0x00400000; // PF_RANDOMIZE, as most user processes
    quint64 stime = 0;
    quint64 code = 0x55d0c0000000; // where exec mapped the program; 1 when hidden from the reader
};

} // namespace
Q_DECLARE_METATYPE(StatFields)
namespace {

QByteArray statLine(const StatFields &f)
{
    return QByteArray::number(f.pid) + " (" + f.comm + ") S 77 1 1 0 -1 " + QByteArray::number(f.flags) + " 120 0 0 0 "
        + QByteArray::number(f.utime) + ' ' + QByteArray::number(f.stime) + " 0 0 20 0 1 0 "
        + QByteArray::number(f.startTime) + " 10485760 " + f.rss + " 18446744073709551615 " + QByteArray::number(f.code)
        + ' ' + QByteArray::number(f.code > 1 ? f.code + 0x5000 : f.code) + ' '
        + QByteArray::number(f.code > 1 ? f.code + 0x2a0000000000 : 0)
        + " 0 0 0 0 0 0 0 0 0 17 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n";
}

// A proc root up 1000 s whose lookup names every process "App" unless told
// otherwise (or `lookup` is set), counting its calls and keeping the command
// path it was given.
struct ProcFixture {
    FixtureTree tree;
    double now = 50.0;
    ProcProcessSource source{tree.path().toStdString(), [this] { return now; }};
    QHash<int, std::optional<QString>> names;
    std::function<std::optional<QString>(const ProcessFacts &)> lookup;
    QMap<int, int> lookups;
    QHash<int, QString> commandPaths;
    quint64 generation = 1;

    ProcFixture() { tree.write("uptime", "1000.00 1800.00\n"); }

    void add(const StatFields &stat, const QString &exe = {}, const QByteArray &cmdline = {},
             const QByteArray &cgroup = "0::/user.slice\n")
    {
        const QString dir = QString::number(stat.pid) + '/';
        tree.write(dir + "stat", statLine(stat));
        tree.write(dir + "cmdline", cmdline);
        tree.write(dir + "cgroup", cgroup);
        tree.remove(dir + "exe");
        if (!exe.isEmpty())
            tree.symlink(dir + "exe", exe); // dangling is fine: only the target is read
    }
    QList<ProcessMetric> read()
    {
        return source.read(
            [this](const ProcessFacts &facts, std::string_view path) {
                ++lookups[facts.pid];
                commandPaths[facts.pid] = QString::fromUtf8(path.data(), qsizetype(path.size()));
                return lookup ? lookup(facts) : names.value(facts.pid, QStringLiteral("App"));
            },
            generation);
    }
    double cpuOf(int pid) // one pass; -1 when `pid` is not listed
    {
        for (const ProcessMetric &row : read())
            if (row.id == pid)
                return row.cpuPercent;
        return -1;
    }
};

} // namespace

class TestProcProcessSource : public QObject {
    Q_OBJECT
private slots:
    // The fields follow the last ')', whatever the name holds; a line cut before rss is no reading.
    void statParsing()
    {
        const QByteArray text = statLine({4242, "a b\nx) R 9 9 9 (", 1234, 987654321, "2048", 0x00200040, 56});
        const auto stat = parseProcStat({text.constData(), size_t(text.size())});
        QVERIFY(stat);
        QCOMPARE(QByteArray(stat->comm.data(), qsizetype(stat->comm.size())), "a b\nx) R 9 9 9 (");
        const auto got = std::tuple(stat->state, stat->ppid, stat->flags, stat->utimeTicks, stat->stimeTicks,
                                    stat->startTimeTicks, stat->rssPages, stat->startCode, stat->endCode,
                                    stat->startStack);
        QCOMPARE(got,
                 decltype(got)('S', 77, 0x00200040u, 1234, 56, 987654321, 2048, 0x55d0c0000000, 0x55d0c0005000,
                               0x7fd0c0000000));
        QVERIFY(!parseProcStat("12 (p) S 1 1 1 0 -1 0 120 0 0 0 1 2 0 0 20 0 1 0 5 10485760"));
    }

    // One pass over a messy /proc: only processes with CPU or resident memory
    // that an application claims are listed, and only those are looked up.
    void whichProcessesAreListed()
    {
        ProcFixture proc;
        proc.tree.makeDir("10"); // ended after the folder was listed
        proc.tree.symlink("self", "20");
        proc.tree.makeDir("1x");
        proc.tree.write("11/stat", "11 (cut) S 1 1"); // truncated
        proc.add({20, "resident", 0, kHz, "25"});
        proc.add({21, "busy", kHz, kHz, "0"});
        proc.add({22, "neither", 0, kHz, "0"});
        proc.add({23, "negative rss", 0, kHz, "-4"});
        proc.add({24, "kthread", kHz, kHz, "25", 0x00208040}); // PF_KTHREAD | PF_NOFREEZE | PF_FORKNOEXEC
        proc.add({25, "unclaimed", kHz, kHz, "25"});
        proc.names[25] = std::nullopt;
        QMap<qint32, quint64> listed;
        for (const ProcessMetric &row : proc.read())
            listed.insert(row.id, row.memoryBytes);
        QCOMPARE(listed.keys(), (QList<qint32>{20, 21}));
        QCOMPARE(listed.values(), (QList<quint64>{25 * kPage, 0}));
        QCOMPARE(proc.lookups.keys(), (QList<int>{20, 21, 25}));
        QCOMPARE(proc.source.cachedProcessCount(), 5u); // a baseline for each but the kernel thread

        proc.tree.remove("uptime"); // a newcomer then has no lifetime figure
        proc.add({26, "new", kHz, kHz});
        QCOMPARE(proc.cpuOf(26), 0.0);
    }

    // The name is the executable's file name, whole; comm only where the
    // executable cannot be read, or argv[0]'s file name when comm is its cut.
    void namesAndCommandPaths()
    {
        const QByteArray cut = "long-program-na", full = "long-program-name", path = "/x/" + full;
        const struct { // in cmdline, '|' stands for NUL
            QByteArray comm, exe, cmdline, name, commandPath;
        } cases[] = {
            {"bash", "/bin/bash", "-bash|", "bash", "/bin/bash"},
            {cut, path, {}, full, path},
            {"my-own-name", path, {}, full, path}, // renamed itself (PR_SET_NAME)
            {cut, path + " (deleted)", {}, full, path},
            {"python3", "/usr/bin/python3.11", "python3|/h/tool.py|", "python3.11", "/usr/bin/python3.11"},
            {cut, {}, path + "|-v|", full, path}, // another user's process
            {"long-program-n", {}, path + "|", "long-program-n", path}, // shorter: not a cut
            {cut, {}, full + "|", full, {}}, // a relative argv0 is no command path
        };
        ProcFixture proc;
        QStringList wanted;
        for (int i = 0; i < int(std::size(cases)); ++i) {
            proc.add({40 + i, cases[i].comm, kHz, kHz}, QString(cases[i].exe),
                     QByteArray(cases[i].cmdline).replace('|', '\0'));
            wanted << QString(cases[i].name + ' ' + cases[i].commandPath);
        }
        QMap<qint32, QString> got;
        for (const ProcessMetric &row : proc.read())
            got.insert(row.id, row.name + ' ' + proc.commandPaths.value(row.id));
        QCOMPARE(got.values(), wanted);
    }

    // A process seen once, then changed before the next pass. Lookups name
    // /usr/bin/app and anything in an app scope "App", nothing else. Every
    // change that may make it another program is resolved again at once; what
    // did not change is served from the cache.
    void resolvedAgainWhenItMayBeAnotherProgram_data()
    {
        QTest::addColumn<StatFields>("before");
        QTest::addColumn<QString>("exeBefore");
        QTest::addColumn<StatFields>("after");
        QTest::addColumn<QString>("exeAfter");
        QTest::addColumn<QByteArray>("cgroupAfter");
        QTest::addColumn<int>("generationStep");
        QTest::addColumn<QString>("listedAfter"); // "name app cpu", or empty
        QTest::addColumn<int>("lookupsAfter"); // in the second pass

        const auto row = [](const char *why, const StatFields &before, const char *exeBefore, const StatFields &after,
                            const char *exeAfter, const QByteArray &cgroupAfter, int generationStep,
                            const char *listedAfter, int lookupsAfter) {
            QTest::newRow(why) << before << QString(exeBefore) << after << QString(exeAfter) << cgroupAfter
                               << generationStep << QString(listedAfter) << lookupsAfter;
        };
        // pid 30, started at 10 s (or 1 s ago), mapped where its program's code is (1: hidden from the reader).
        const auto stat = [](const QByteArray &comm, quint64 code = 0x5610000000, quint64 startTime = 10 * kHz,
                             quint64 utime = 5 * kHz) {
            return StatFields{.pid = 30, .comm = comm, .utime = utime, .startTime = startTime, .code = code};
        };
        const StatFields shell = stat("sh"), app = stat("app"); // app: also a launcher script named like its program
        const char *const dash = "/usr/bin/dash", *const bin = "/usr/bin/app";
        row("wrapper exec'd the application", shell, dash, stat("app", 0x55a0000000), bin, {}, 0, "app App 0", 1);
        row("exec, same comm", app, dash, stat("app", 0x55a0000000), bin, {}, 0, "app App 0", 1);
        // Another user's: addresses hidden, exe unreadable.
        row("another user's wrapper exec'd", stat("sh", 1), "", stat("app", 1), "", kAppScope, 0, "app App 0", 1);
        row("pid reused by the application", shell, dash, stat("app", 0x5610000000, 900 * kHz, 20 * kHz), bin, {}, 0,
            "app App 20", 1);
        row("renamed itself", app, bin, stat("app: worker 3"), bin, {}, 0, "app App 0", 1);
        row("unchanged", app, bin, app, bin, {}, 0, "app App 0", 0);
        row("unchanged, unclaimed", shell, dash, shell, dash, {}, 0, "", 0);
        row("index rebuilt", shell, dash, shell, dash, kAppScope, 1, "dash App 0", 1);
        const StatFields newborn = stat("sh", 0x5610000000, 999 * kHz);
        row("moved into its app scope just after start", newborn, dash, newborn, dash, kAppScope, 0, "dash App 0", 1);
    }
    void resolvedAgainWhenItMayBeAnotherProgram()
    {
        QFETCH(StatFields, before);
        QFETCH(QString, exeBefore);
        QFETCH(StatFields, after);
        QFETCH(QString, exeAfter);
        QFETCH(QByteArray, cgroupAfter);
        QFETCH(int, generationStep);

        ProcFixture proc;
        proc.lookup = [](const ProcessFacts &facts) -> std::optional<QString> {
            if (facts.exePath == "/usr/bin/app" || facts.cgroup.find("/app-") != std::string::npos)
                return QStringLiteral("App");
            return std::nullopt;
        };
        proc.add(before, exeBefore, "x|", "0::/user.slice/session-2.scope\n");
        proc.read();
        const int lookupsBefore = proc.lookups.value(30);

        proc.add(after, exeAfter, "x|", cgroupAfter.isEmpty() ? "0::/user.slice/session-2.scope\n" : cgroupAfter);
        proc.now += 5;
        proc.generation += quint64(generationStep);
        QStringList listed;
        for (const ProcessMetric &row : proc.read())
            listed << row.name + ' ' + row.appName + ' ' + QString::number(row.cpuPercent);
        QTEST(listed.join('\n'), "listedAfter");
        QTEST(proc.lookups.value(30) - lookupsBefore, "lookupsAfter");
    }

    void baselinesFollowLiveProcessesAndStartTimes()
    {
        ProcFixture proc;
        for (int pid = 70; pid < 73; ++pid)
            proc.add({pid, "proc", 0, kHz});
        proc.add({73, "idle", 0, kHz, "0"}); // not listed, but its baseline is held
        proc.add({.pid = 60, .comm = "old", .utime = 300 * kHz, .stime = 200 * kHz}, "/usr/bin/old");
        QCOMPARE(proc.cpuOf(60), 50.0); // first sight: 500 s over its 1000 s of life
        QCOMPARE(proc.source.cachedProcessCount(), 5u);

        // Same pid, later start, fewer ticks: a lifetime figure of its own.
        proc.add({60, "new", 90 * kHz, 900 * kHz}, "/usr/bin/new");
        proc.now += 5;
        QCOMPARE(proc.cpuOf(60), 90.0);
        QCOMPARE(proc.lookups.value(60), 2);
        QCOMPARE(proc.commandPaths.value(60), QStringLiteral("/usr/bin/new"));

        proc.tree.remove("71");
        proc.tree.remove("73");
        QCOMPARE(proc.read().size(), 3);
        QCOMPARE(proc.source.cachedProcessCount(), 3u);
        proc.add({71, "proc", 100 * kHz, 0}); // back, but its baseline was dropped
        QCOMPARE(proc.cpuOf(71), 10.0);
        proc.add({71, "proc", 101 * kHz, 0});
        QCOMPARE(proc.cpuOf(71), 10.0); // no time passed keeps the figure
        proc.add({71, "proc", 50 * kHz, 0});
        proc.now += 5;
        QCOMPARE(proc.cpuOf(71), 0.0); // a counter that went back counts 0
    }
};

QTEST_GUILESS_MAIN(TestProcProcessSource)
#include "tst_procprocesssource.moc"
