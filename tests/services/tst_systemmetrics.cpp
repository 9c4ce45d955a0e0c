// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

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

// A `cpuN` line with the four folded states and the others zero.
QByteArray cpu(int n, quint64 user, quint64 system, quint64 idle)
{
    return "cpu" + QByteArray::number(n) + ' ' + QByteArray::number(user) + " 0 " + QByteArray::number(system) + ' '
        + QByteArray::number(idle) + " 0 0 0 0 0 0\n";
}

QByteArray procStat(const QByteArray &cpuLines)
{
    return "cpu  1 2 3 4 5 6 7 8 0 0\n" + cpuLines + "intr 1 2 3\n";
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
        const QByteArray two = cpu(0, 0, 0, 0) + cpu(1, 0, 0, 0);
        QTest::newRow("one ratio over all, not a mean") << two << 0.0 << cpu(0, 40, 0, 60) + cpu(1, 0, 0, 300) << 10.0;
        QTest::newRow("lower counter counts 0") << cpu(0, 100, 50, 800) << 0.0 << cpu(0, 90, 60, 860) << 100.0 / 7;
        QTest::newRow("no tick keeps figure") << cpu(0, 5, 5, 5) << 37.5 << cpu(0, 5, 5, 5) << 37.5;
        QTest::newRow("matched by number")
            << cpu(0, 0, 0, 0) + cpu(1, 1000, 0, 0) << 0.0 << cpu(1, 1000, 0, 100) + cpu(0, 100, 0, 0) << 50.0;
        QTest::newRow("processor went offline") << two << 12.5 << cpu(0, 50, 0, 50) << 12.5;
        QTest::newRow("processor came online") << cpu(0, 0, 0, 0) << 12.5 << two << 12.5;
        QTest::newRow("same count, other numbers") << two << 12.5 << cpu(0, 50, 0, 50) + cpu(2, 0, 0, 0) << 12.5;
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
        const auto parse = [](const QByteArray &t) { return parseProcStatCpuLines({t.constData(), size_t(t.size())}); };
        const auto old = parse(procStat(before)), now = parse(procStat(after));
        QVERIFY(old && now);
        const CPUComparison result = compareCPUTicks(CPUInfo{std::int64_t(old->size()), *old, beforePercent}, *now);
        QCOMPARE(result.percent, percent);
        QCOMPARE(result.baseline,
                 (CPUInfo{std::int64_t(now->size()), *now, result.percent})); // always the new baseline
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
        for (const char *bad : {"cpu  1 2 3 4 5 6 7 8 0 0\nintr 0\n", "cpu0 1 2 x 4\n"}) {
            proc.write("stat", bad);
            QCOMPARE(provider.readCPUPercent(), 40.0);
            QVERIFY2(provider.previousCPUInfo()->values == good, bad);
        }
        proc.remove("stat");
        QCOMPARE(provider.readCPUPercent(), 40.0);
        proc.write("stat", "cpu0 140 0 60 950"); // four states (old kernels), no final newline
        QCOMPARE(provider.readCPUPercent(), 10.0);
    }

    // Used is total less available, never below 0; without MemAvailable (before 3.14) the read failed.
    void memory()
    {
        for (const auto &[text, used, total] : std::initializer_list<std::tuple<QByteArray, quint64, quint64>>{
                 {"MemTotal: 16000 kB\nMemFree: 1 kB\nMemAvailable: 4000 kB\n", 12000 * 1024, 16000 * 1024},
                 {"MemTotal: 1000 kB\nMemAvailable: 2000 kB\n", 0, 1000 * 1024},
                 {"MemTotal: 1000 kB\nMemFree: 10 kB\n", 0, 8ull << 30}}) {
            const MemoryInfo info = memoryInfoFrom(parseMemInfo({text.constData(), size_t(text.size())}), 8ull << 30);
            QVERIFY2(info.usedBytes == used && info.totalBytes == total, text.constData());
        }
    }

    // A first read shorter than a page is the whole file; a full one reads on.
    void procRootReadsWholeFilesCutAtTheLimit()
    {
        FixtureTree tree;
        const platform::ProcRoot root(tree.path().toStdString());
        for (const auto &[size, maxBytes] : {std::pair{4096, 1 << 20}, {70000, 1 << 20}, {20000, 9000}}) {
            const QByteArray content = QByteArray("abcdefghijklmnopqrstuvw").repeated(size / 23 + 1).left(size);
            tree.write("file", content);
            std::string buffer = "left over from an earlier file";
            QVERIFY(root.readFile("file", buffer, std::size_t(maxBytes)));
            QCOMPARE(QByteArray::fromStdString(buffer), content.left(maxBytes));
        }
        std::string buffer = "left over";
        QVERIFY(!root.readFile("missing", buffer, 4096));
        QVERIFY(buffer.empty());
    }
};

QTEST_GUILESS_MAIN(TestSystemMetrics)
#include "tst_systemmetrics.moc"
