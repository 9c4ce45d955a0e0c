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
constexpr quint32 kUserFlags = 0x00400000;    // PF_RANDOMIZE, as most user processes
constexpr quint32 kKernelThread = 0x00208040; // PF_KTHREAD | PF_NOFREEZE | PF_FORKNOEXEC

// A PID/stat line as the kernel writes it (52 fields).
struct StatFields {
    int pid = 1;
    QByteArray comm = "proc";
    quint64 utime = 0;
    quint64 startTime = 0;
    QByteArray rss = "100"; // text, so tests can write what the kernel never would
    quint32 flags = kUserFlags;
    quint64 stime = 0;
    int ppid = 1;
};

QByteArray statLine(const StatFields &f)
{
    return QByteArray::number(f.pid) + " (" + f.comm + ") S " + QByteArray::number(f.ppid) + " 1 1 0 -1 "
        + QByteArray::number(f.flags) + " 120 0 0 0 " + QByteArray::number(f.utime) + ' ' + QByteArray::number(f.stime)
        + " 0 0 20 0 1 0 " + QByteArray::number(f.startTime) + " 10485760 " + f.rss
        + " 18446744073709551615 1 1 0 0 0 0 0 0 0 0 0 0 17 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n";
}

// A proc root up 1000 s whose lookup names every process "App" unless told
// otherwise, counting its calls and keeping the command path it was given.
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
    void statParsing_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("parsed"); // "comm|utime|rss"; empty: failed
        StatFields f{4242, {}, 1234, 987654321, "2048", 0x00200040, 56, 77};
        for (const char *comm : {"Web Content", "a) b", "x) R 9 9 9 (", "(sd-pam)", "((", "two\nlines", ""}) {
            f.comm = comm; // the fields follow the last ')', whatever the name holds
            QTest::addRow("name \"%s\"", comm) << statLine(f) << f.comm + "|1234|2048";
        }
        f.comm = "p";
        const QByteArray full = statLine(f);
        const qsizetype rssAt = full.indexOf(" 10485760 ") + 10;
        const auto edit = [&](const char *from, const char *to) { return QByteArray(full).replace(from, to); };
        QTest::newRow("ends right after rss") << full.left(full.indexOf(' ', rssAt)) << QByteArray("p|1234|2048");
        QTest::newRow("cut before rss") << full.left(rssAt - 1) << QByteArray();
        QTest::newRow("cut inside the name") << QByteArray("12 (bas") << QByteArray();
        QTest::newRow("parenthesis reversed") << QByteArray("1 )x( S 1") << QByteArray();
        QTest::newRow("largest utime") << edit(" 1234 ", " 18446744073709551615 ")
                                       << QByteArray("p|18446744073709551615|2048");
        QTest::newRow("utime beyond 64 bits") << edit(" 1234 ", " 18446744073709551616 ") << QByteArray();
        QTest::newRow("negative rss") << edit(" 2048 ", " -3 ") << QByteArray("p|1234|-3");
        QTest::newRow("junk in rss") << edit(" 2048 ", " 12x ") << QByteArray();
        QTest::newRow("two-letter state") << edit(") S ", ") SS ") << QByteArray();
        QTest::newRow("negative flags") << edit(" 2097216 ", " -2097216 ") << QByteArray();
    }
    void statParsing()
    {
        QFETCH(QByteArray, text);
        const auto stat = parseProcStat(std::string_view(text.constData(), size_t(text.size())));
        QTEST(stat ? QByteArray(stat->comm.data(), qsizetype(stat->comm.size())) + '|'
                      + QByteArray::number(stat->utimeTicks) + '|' + QByteArray::number(stat->rssPages)
                   : QByteArray(),
              "parsed");
        if (stat) {
            const auto other = std::tuple(stat->state, stat->ppid, stat->flags, stat->stimeTicks, stat->startTimeTicks);
            QCOMPARE(other, decltype(other)('S', 77, 0x00200040u, 56, 987654321));
        }
    }

    // First sight gets the lifetime average (uptime is 1000 s), later passes the interval.
    void cpuFigures_data()
    {
        QTest::addColumn<QList<double>>("f"); // start s, CPU s, CPU s later, wall s between, first %, second %
        QTest::newRow("lifetime, then interval") << QList<double>{500, 50, 60, 4, 10, 250};
        QTest::newRow("counter went back") << QList<double>{500, 50, 40, 4, 10, 0};
        QTest::newRow("started this instant") << QList<double>{1000, 1, 2, 1, 0, 100};
        QTest::newRow("start after uptime") << QList<double>{2000, 1, 2, 2, 0, 50};
        QTest::newRow("no time passed keeps the figure") << QList<double>{500, 50, 51, 0, 10, 10};
    }
    void cpuFigures()
    {
        QFETCH(QList<double>, f);
        ProcFixture proc;
        StatFields stat{7, "proc", quint64(f[1] * kHz) / 2, quint64(f[0] * kHz)};
        stat.stime = quint64(f[1] * kHz) - stat.utime; // both count
        proc.add(stat);
        QCOMPARE(proc.cpuOf(7), f[4]);
        stat = {7, "proc", quint64(f[2] * kHz), quint64(f[0] * kHz)};
        proc.add(stat);
        proc.now += f[3];
        QCOMPARE(proc.cpuOf(7), f[5]);
    }

    // One pass over a messy /proc: only processes with CPU or resident memory
    // that an application claims are listed, and only those are looked up.
    void whichProcessesAreListed()
    {
        ProcFixture proc;
        proc.tree.makeDir("10"); // ended after the folder was listed
        proc.tree.write("11/stat", statLine({11}).left(40));
        proc.tree.write("12/stat", "\0\0\0garbage");
        proc.tree.write("13/stat", "");
        proc.tree.symlink("self", "20");
        proc.tree.makeDir("1x");
        proc.tree.makeDir("0");
        proc.add({20, "resident", 0, kHz, "25"});
        proc.add({21, "busy", kHz, kHz, "0"});
        proc.add({22, "neither", 0, kHz, "0"});
        proc.add({23, "negative rss", 0, kHz, "-4"});
        proc.add({24, "kthread", kHz, kHz, "25", kKernelThread});
        proc.add({25, "unclaimed", kHz, kHz, "25"});
        proc.names[25] = std::nullopt;
        QMap<qint32, quint64> listed;
        for (const ProcessMetric &row : proc.read())
            listed.insert(row.id, row.memoryBytes);
        QCOMPARE(listed.keys(), (QList<qint32>{20, 21}));
        QCOMPARE(listed.values(), (QList<quint64>{25 * kPage, 0}));
        QList<int> looked = proc.lookups.keys();
        std::sort(looked.begin(), looked.end());
        QCOMPARE(looked, (QList<int>{20, 21, 25}));
        QCOMPARE(proc.source.cachedProcessCount(), 6u); // a baseline for each, listed or not

        proc.tree.remove("uptime"); // a newcomer then has no lifetime figure
        proc.add({26, "new", kHz, kHz});
        QCOMPARE(proc.cpuOf(26), 0.0);
    }

    // The name is comm unless comm is the 15-character cut of the program's file name.
    void namesAndCommandPaths()
    {
        const QByteArray cut = "long-program-na";
        const QString full = "long-program-name", path = "/x/" + full;
        const struct {
            QByteArray comm;
            QString exe;
            QByteArray cmdline; // '|' stands for NUL
            QString name, commandPath;
        } cases[] = {
            {"bash", "/bin/bash", "-bash|", "bash", "/bin/bash"},
            {cut, path, {}, full, path},
            {"long-program-n", path, {}, "long-program-n", path}, // shorter: not a cut
            {cut, path + " (deleted)", {}, full, path},
            {cut, {}, path.toUtf8() + "|-v|", full, path},
            {cut, {}, full.toUtf8() + "|", full, {}}, // a relative argv0 is no command path
            {cut, "/bin/python3", "/bin/python3|/h/long-program-name.py|", cut, "/bin/python3"}, // a script
        };
        ProcFixture proc;
        QStringList wanted, got;
        for (int i = 0; i < int(std::size(cases)); ++i) {
            proc.add({40 + i, cases[i].comm, kHz, kHz}, cases[i].exe, QByteArray(cases[i].cmdline).replace('|', '\0'));
            wanted << cases[i].name + ' ' + cases[i].commandPath;
        }
        QMap<qint32, QString> names;
        for (const ProcessMetric &row : proc.read())
            names.insert(row.id, row.name);
        for (int i = 0; i < int(std::size(cases)); ++i)
            got << names.value(40 + i) + ' ' + proc.commandPaths.value(40 + i);
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
        proc.add({60, "old", 500 * kHz, 0}, "/usr/bin/old");
        QCOMPARE(proc.cpuOf(60), 50.0); // 500 s of 1000
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
