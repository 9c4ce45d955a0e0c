// The whole-machine readers: /proc/stat processor ticks, /proc/meminfo, and
// ProcRoot's file reading that both go through.
#include "platform/ProcFs.h"
#include "platform/SystemInfo.h"
#include "services/CpuTicks.h"
#include "services/MemoryReading.h"
#include "services/SystemMetricsProvider.h"
#include "testsupport/FixtureTree.h"

#include <QTest>

using namespace pelmora;

namespace {

constexpr quint64 kPhysical = 8ull << 30;

// A `cpuN` line with the four folded states and the others zero.
QByteArray cpu(int n, quint64 user, quint64 system, quint64 idle, quint64 nice = 0)
{
    return "cpu" + QByteArray::number(n) + ' ' + QByteArray::number(user) + ' ' + QByteArray::number(nice) + ' '
        + QByteArray::number(system) + ' ' + QByteArray::number(idle) + " 0 0 0 0 0 0\n";
}

QByteArray procStat(const QByteArray &cpuLines)
{
    return "cpu  1 2 3 4 5 6 7 8 0 0\n" + cpuLines + "intr 1 2 3\nctxt 99\n";
}

std::optional<std::vector<ProcessorTicks>> parse(const QByteArray &text)
{
    return parseProcStatCpuLines(std::string_view(text.constData(), size_t(text.size())));
}

QByteArray meminfo(const QByteArray &total, const QByteArray &available)
{
    return "MemTotal:       " + total + "\nMemFree:          123 kB\nMemAvailable:   " + available + "\n";
}

} // namespace

class TestSystemMetrics : public QObject {
    Q_OBJECT
private slots:
    void cpuComparison_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<double>("beforePercent");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<double>("percent");
        const quint64 top = 18446744073709551000ull;
        QTest::newRow("one ratio over all, not a mean") << cpu(0, 0, 0, 0) + cpu(1, 0, 0, 0) << 0.0
                                                        << cpu(0, 40, 0, 60) + cpu(1, 0, 0, 300) << 10.0;
        QTest::newRow("lower counter counts 0") << cpu(0, 100, 50, 800) << 0.0 << cpu(0, 90, 60, 860) << 100.0 / 7;
        QTest::newRow("no tick keeps figure") << cpu(0, 5, 5, 5) << 37.5 << cpu(0, 5, 5, 5) << 37.5;
        QTest::newRow("matched by number") << cpu(0, 0, 0, 0) + cpu(1, 1000, 0, 0) << 0.0
                                           << cpu(1, 1000, 0, 100) + cpu(0, 100, 0, 0) << 50.0;
        QTest::newRow("processor went offline") << cpu(0, 0, 0, 0) + cpu(1, 0, 0, 0) << 12.5 << cpu(0, 50, 0, 50)
                                                << 12.5;
        QTest::newRow("processor came online") << cpu(0, 0, 0, 0) << 12.5 << cpu(0, 50, 0, 50) + cpu(1, 0, 0, 0)
                                               << 12.5;
        QTest::newRow("same count, other numbers") << cpu(0, 0, 0, 0) + cpu(1, 0, 0, 0) << 12.5
                                                   << cpu(0, 50, 0, 50) + cpu(2, 0, 0, 0) << 12.5;
        QTest::newRow("counters near 2^64") << cpu(0, top, 0, top) << 0.0 << cpu(0, top + 30, 0, top + 100)
                                            << 30.0 / 130.0 * 100.0;
        // user nice system idle iowait irq softirq steal guest guest_nice
        QTest::newRow("nice irq softirq steal busy, iowait idle, guest in user")
            << QByteArray("cpu0 0 0 0 0 0 0 0 0 0 0\n") << 0.0 << QByteArray("cpu0 10 5 0 40 40 2 2 1 10 0\n") << 20.0;
    }
    void cpuComparison()
    {
        QFETCH(QByteArray, before);
        QFETCH(double, beforePercent);
        QFETCH(QByteArray, after);
        QFETCH(double, percent);
        const auto old = parse(procStat(before));
        const auto now = parse(procStat(after));
        QVERIFY(old && now);
        const CPUComparison result = compareCPUTicks(CPUInfo{std::int64_t(old->size()), *old, beforePercent}, *now);
        QCOMPARE(result.percent, percent);
        QCOMPARE(result.baseline, (CPUInfo{std::int64_t(now->size()), *now, result.percent})); // always the new baseline
        QCOMPARE(compareCPUTicks(std::nullopt, *now).percent, 0.0);
    }

    // A failed CPU read keeps figure and baseline, so the next good reading is
    // compared with the last good one. A failed memory read is 0 used of all.
    void providerOverFailedReads()
    {
        FixtureTree proc;
        SystemMetricsProvider provider(proc.path().toStdString());
        QCOMPARE(provider.readMemory(), (MemoryInfo{0, platform::physicalMemoryBytes()}));
        QCOMPARE(provider.readCPUPercent(), 0.0);
        proc.write("stat", procStat(cpu(0, 100, 50, 800)));
        QCOMPARE(provider.readCPUPercent(), 0.0);
        proc.write("stat", procStat(cpu(0, 130, 60, 860)));
        QCOMPARE(provider.readCPUPercent(), 40.0);
        const std::vector<ProcessorTicks> good = provider.previousCPUInfo()->values;
        for (const char *bad : {"", "cpu  1 2 3 4 5 6 7 8 0 0\nintr 0\n", "cpu0 1 2 3 4\ncpu1 1 2 3", "cpu0 1 2 x 4\n",
                                "cpu0 1 -2 3 4\n", "cpu0 18446744073709551616 2 3 4\n", "cpu0 1 2 3 4\ncpu0 1 2 3 4\n"}) {
            proc.write("stat", bad);
            QCOMPARE(provider.readCPUPercent(), 40.0);
            QVERIFY2(provider.previousCPUInfo()->values == good, bad);
        }
        proc.remove("stat");
        QCOMPARE(provider.readCPUPercent(), 40.0);
        proc.write("stat", "cpu0 140 0 60 950"); // four states (old kernels), no final newline
        QCOMPARE(provider.readCPUPercent(), 10.0);
    }

    void memory_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<quint64>("used");
        QTest::addColumn<quint64>("total");
        QTest::newRow("typical") << meminfo("16000 kB", "4000 kB") << quint64(12000 * 1024) << quint64(16000 * 1024);
        QTest::newRow("available above total") << meminfo("1000 kB", "2000 kB") << quint64(0) << quint64(1000 * 1024);
        QTest::newRow("available first, no spaces") << QByteArray("MemAvailable:1 kB\nMemTotal:3 kB") << quint64(2048)
                                                    << quint64(3072);
        QTest::newRow("largest kB that fits") << meminfo("18014398509481983 kB", "0 kB")
                                              << quint64(18446744073709550592ull) << quint64(18446744073709550592ull);
        // A failed read: 0 used of the physical memory.
        QTest::newRow("no MemAvailable (before 3.14)") << QByteArray("MemTotal: 1000 kB\nMemFree: 10 kB\n")
                                                       << quint64(0) << kPhysical;
        QTest::newRow("cut inside a line") << QByteArray("MemTotal: 1000 kB\nMemAvail") << quint64(0) << kPhysical;
        QTest::newRow("junk number") << meminfo("1O00 kB", "10 kB") << quint64(0) << kPhysical;
        QTest::newRow("bytes beyond 64 bits") << meminfo("18014398509481984 kB", "0 kB") << quint64(0) << kPhysical;
    }
    void memory()
    {
        QFETCH(QByteArray, text);
        const MemoryInfo info = memoryInfoFrom(parseMemInfo(std::string_view(text.constData(), size_t(text.size()))),
                                               kPhysical);
        QTEST(info.usedBytes, "used");
        QTEST(info.totalBytes, "total");
    }

    void realSystem()
    {
        SystemMetricsProvider provider;
        const MemoryInfo info = provider.readMemory();
        QVERIFY(info.usedBytes > 0 && info.usedBytes <= info.totalBytes);
        QCOMPARE(info.totalBytes, platform::physicalMemoryBytes()); // sysconf counts the same pages as MemTotal
        provider.readCPUPercent();
        QVERIFY(provider.previousCPUInfo() && provider.previousCPUInfo()->processorCount >= 1);
        QTest::qWait(200);
        const double percent = provider.readCPUPercent();
        QVERIFY2(percent >= 0.0 && percent <= 100.0, QByteArray::number(percent));
    }

    // A first read shorter than a page is the whole file; a full one reads on.
    void procRootReadsWholeFilesCutAtTheLimit_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("maxBytes");
        QTest::newRow("empty") << 0 << 4096;
        QTest::newRow("exactly a page") << 4096 << (1 << 20);
        QTest::newRow("several pages") << 70000 << (1 << 20);
        QTest::newRow("cut after a page") << 20000 << 9000;
    }
    void procRootReadsWholeFilesCutAtTheLimit()
    {
        QFETCH(int, size);
        QFETCH(int, maxBytes);
        FixtureTree tree;
        QByteArray content(size, Qt::Uninitialized);
        for (int i = 0; i < size; ++i)
            content[i] = char('a' + i % 23);
        tree.write("file", content);
        const platform::ProcRoot root(tree.path().toStdString());
        std::string buffer = "left over from an earlier file";
        QVERIFY(root.readFile("file", buffer, std::size_t(maxBytes)));
        QCOMPARE(QByteArray::fromStdString(buffer), content.left(maxBytes));
        QVERIFY(!root.readFile("missing", buffer, std::size_t(maxBytes)));
        QVERIFY(buffer.empty());
    }
};

QTEST_GUILESS_MAIN(TestSystemMetrics)
#include "tst_systemmetrics.moc"
