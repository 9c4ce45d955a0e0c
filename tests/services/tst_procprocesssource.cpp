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

// A PID/stat line as the kernel writes it (52 fields).
struct StatFields {
    int pid = 1;
    QByteArray comm = "proc";
    quint64 utime = 0, startTime = 0;
    QByteArray rss = "100";        // text, so tests can write what the kernel never would
    quint32 flags = 0x00400000;    // PF_RANDOMIZE, as most user processes
    quint64 stime = 0;
};

QByteArray statLine(const StatFields &f)
{
    return QByteArray::number(f.pid) + " (" + f.comm + ") S 77 1 1 0 -1 " + QByteArray::number(f.flags) + " 120 0 0 0 "
        + QByteArray::number(f.utime) + ' ' + QByteArray::number(f.stime) + " 0 0 20 0 1 0 "
        + QByteArray::number(f.startTime) + " 10485760 " + f.rss
        + " 18446744073709551615 1 1 0 0 0 0 0 0 0 0 0 0 17 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n";
}

// A proc root up 1000 s whose lookup names every process "App" unless told
// otherwise, counting its calls and keeping the command path it was given.
struct ProcFixture {
    FixtureTree tree;
    double now = 50.0;
    ProcProcessSource source{tree.path().toStdString(), [this] { return now; }};
    QHash<int, std::optional<QString>> names;
    QMap<int, int> lookups;
    QHash<int, QString> commandPaths;
    quint64 generation = 1;

    ProcFixture() { tree.write("uptime", "1000.00 1800.00\n"); }

    void add(const StatFields &stat, const QString &exe = {}, const QByteArray &cmdline = {})
    {
        const QString dir = QString::number(stat.pid) + '/';
        tree.write(dir + "stat", statLine(stat));
        tree.write(dir + "cmdline", cmdline);
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
                return names.value(facts.pid, QStringLiteral("App"));
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
                                    stat->startTimeTicks, stat->rssPages);
        QCOMPARE(got, decltype(got)('S', 77, 0x00200040u, 1234, 56, 987654321, 2048));
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
        QCOMPARE(proc.source.cachedProcessCount(), 6u); // a baseline for each, listed or not

        proc.tree.remove("uptime"); // a newcomer then has no lifetime figure
        proc.add({26, "new", kHz, kHz});
        QCOMPARE(proc.cpuOf(26), 0.0);
    }

    // The name is comm unless comm is the 15-character cut of the program's file name.
    void namesAndCommandPaths()
    {
        const QByteArray cut = "long-program-na", full = "long-program-name", path = "/x/" + full;
        const struct { // in cmdline, '|' stands for NUL
            QByteArray comm, exe, cmdline, name, commandPath;
        } cases[] = {
            {"bash", "/bin/bash", "-bash|", "bash", "/bin/bash"},
            {cut, path, {}, full, path},
            {"long-program-n", path, {}, "long-program-n", path}, // shorter: not a cut
            {cut, path + " (deleted)", {}, full, path},
            {cut, {}, path + "|-v|", full, path},
            {cut, {}, full + "|", full, {}}, // a relative argv0 is no command path
            {cut, "/bin/python3", "/bin/python3|/h/long-program-name.py|", cut, "/bin/python3"}, // a script
        };
        ProcFixture proc;
        for (int i = 0; i < int(std::size(cases)); ++i)
            proc.add({40 + i, cases[i].comm, kHz, kHz}, QString(cases[i].exe), QByteArray(cases[i].cmdline).replace('|', '\0'));
        QMap<qint32, QString> names;
        for (const ProcessMetric &row : proc.read())
            names.insert(row.id, row.name);
        QStringList wanted, got;
        for (int i = 0; i < int(std::size(cases)); ++i) {
            wanted << QString(cases[i].name + ' ' + cases[i].commandPath);
            got << names.value(40 + i) + ' ' + proc.commandPaths.value(40 + i);
        }
        QCOMPARE(got, wanted);
    }

    void oneLookupAndFactsPerProcessLifetime()
    {
        ProcFixture proc;
        proc.add({50, "worker", 0, 10 * kHz}, "/usr/bin/worker");
        proc.add({51, "daemon", 0, 10 * kHz}, "/usr/bin/daemon");
        proc.names[51] = std::nullopt;
        for (int pass = 0; pass < 3; ++pass)
            QCOMPARE(proc.read().size(), 1);
        QCOMPARE(proc.lookups.value(50), 1);
        QCOMPARE(proc.lookups.value(51), 1); // remembered as nameless

        // comm is followed every pass; the executable is a fact of the lifetime.
        proc.add({50, "worker:busy", 0, 10 * kHz}, "/usr/bin/replaced");
        QCOMPARE(proc.read().value(0).name, QStringLiteral("worker:busy"));
        QCOMPARE(proc.lookups.value(50), 1);

        // A new lookup generation asks again, once, with the facts already read.
        proc.names[51] = QStringLiteral("Daemon");
        ++proc.generation;
        QCOMPARE(proc.read().size(), 2);
        QCOMPARE(proc.read().size(), 2);
        QCOMPARE(proc.lookups.value(50), 2);
        QCOMPARE(proc.lookups.value(51), 2);
        QCOMPARE(proc.commandPaths.value(50), QStringLiteral("/usr/bin/worker"));
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

    void unclaimedPidTakenByAnApplicationShowsWithinSixPasses()
    {
        ProcFixture proc;
        proc.add({90, "app", 10 * kHz, 0}, "/usr/bin/app");
        proc.add({91, "daemon", 10 * kHz, 0}, "/usr/sbin/daemon");
        proc.names[91].reset();
        QCOMPARE(proc.read().size(), 1);

        // The daemon ends and an application's process takes its pid.
        proc.add({91, "app", 5 * kHz, 500 * kHz}, "/usr/bin/app");
        proc.names.remove(91);
        int passes = 0;
        while (proc.cpuOf(91) < 0 && ++passes < 10) {
            proc.now += 5;
            proc.add({90, "app", (10 + 5 * quint64(passes)) * kHz, 0}, "/usr/bin/app");
            QCOMPARE(proc.cpuOf(90), 100.0); // the application's own figures still move
        }
        QVERIFY2(passes < 6, qPrintable(QString::number(passes)));
        QCOMPARE(proc.cpuOf(91), 1.0); // 5 s over its 500 s of life
    }
};

QTEST_GUILESS_MAIN(TestProcProcessSource)
#include "tst_procprocesssource.moc"
