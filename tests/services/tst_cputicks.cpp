#include "testsupport/FixtureTree.h"
#include "services/CpuTicks.h"
#include "services/SystemMetricsProvider.h"

#include <QTest>

using namespace pelmora;

namespace {

// A `cpuN` line with the four folded states and the others zero.
QByteArray cpuLine(int n, quint64 user, quint64 system, quint64 idle, quint64 nice)
{
    return "cpu" + QByteArray::number(n) + ' ' + QByteArray::number(user) + ' ' + QByteArray::number(nice) + ' '
        + QByteArray::number(system) + ' ' + QByteArray::number(idle) + " 0 0 0 0 0 0\n";
}

QByteArray procStat(const QByteArray &cpuLines)
{
    return "cpu  1 2 3 4 5 6 7 8 0 0\n" + cpuLines + "intr 1 2 3\nctxt 99\nbtime 1700000000\nprocesses 5\n";
}

std::optional<std::vector<ProcessorTicks>> parse(const QByteArray &text)
{
    return parseProcStatCpuLines(std::string_view(text.constData(), size_t(text.size())));
}

} // namespace

class TestCpuTicks : public QObject {
    Q_OBJECT
private slots:
    void comparison_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<double>("beforePercent");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<double>("percent");

        QTest::newRow("one processor") << cpuLine(0, 100, 50, 800, 10) << 0.0 << cpuLine(0, 130, 60, 860, 10) << 40.0;
        QTest::newRow("one ratio, not a mean")
            << cpuLine(0, 0, 0, 0, 0) + cpuLine(1, 0, 0, 0, 0) << 0.0
            << cpuLine(0, 40, 0, 60, 0) + cpuLine(1, 0, 0, 300, 0) << 10.0;
        QTest::newRow("lower counter counts 0") << cpuLine(0, 100, 50, 800, 10) << 0.0
                                                << cpuLine(0, 90, 60, 860, 10) << 10.0 / 70.0 * 100.0;
        QTest::newRow("nice is busy") << cpuLine(0, 0, 0, 0, 0) << 0.0 << cpuLine(0, 0, 0, 50, 50) << 50.0;
        QTest::newRow("no tick keeps figure") << cpuLine(0, 5, 5, 5, 5) << 37.5 << cpuLine(0, 5, 5, 5, 5) << 37.5;
        QTest::newRow("matched by number, not position")
            << cpuLine(0, 0, 0, 0, 0) + cpuLine(1, 1000, 0, 0, 0) << 0.0
            << cpuLine(1, 1000, 0, 100, 0) + cpuLine(0, 100, 0, 0, 0) << 50.0;
        QTest::newRow("processor went offline")
            << cpuLine(0, 0, 0, 0, 0) + cpuLine(1, 0, 0, 0, 0) << 12.5 << cpuLine(0, 50, 0, 50, 0) << 12.5;
        QTest::newRow("processor came online") << cpuLine(0, 0, 0, 0, 0) << 12.5
                                               << cpuLine(0, 50, 0, 50, 0) + cpuLine(1, 0, 0, 0, 0) << 12.5;
        QTest::newRow("same count, other numbers")
            << cpuLine(0, 0, 0, 0, 0) + cpuLine(1, 0, 0, 0, 0) << 12.5
            << cpuLine(0, 50, 0, 50, 0) + cpuLine(2, 0, 0, 0, 0) << 12.5;
        QTest::newRow("counters beyond 32 bits")
            << cpuLine(0, 5'000'000'000, 0, 5'000'000'000, 0) << 0.0
            << cpuLine(0, 5'000'000'030, 0, 5'000'000'100, 0) << 30.0 / 130.0 * 100.0;
        // user nice system idle iowait irq softirq steal guest guest_nice
        QTest::newRow("irq softirq steal busy, iowait idle, guest inside user")
            << QByteArray("cpu0 0 0 0 0 0 0 0 0 0 0\n") << 0.0
            << QByteArray("cpu0 10 0 0 40 40 5 3 2 10 0\n") << 20.0;
    }
    void comparison()
    {
        QFETCH(QByteArray, before);
        QFETCH(double, beforePercent);
        QFETCH(QByteArray, after);
        QFETCH(double, percent);

        const auto old = parse(procStat(before));
        const auto now = parse(procStat(after));
        QVERIFY(old && now);
        const CPUInfo baseline{std::int64_t(old->size()), *old, beforePercent};
        const CPUComparison result = compareCPUTicks(baseline, *now);
        QCOMPARE(result.percent, percent);
        // Whatever the outcome, the new reading becomes the baseline.
        QCOMPARE(result.baseline.values, *now);
        QCOMPARE(result.baseline.processorCount, std::int64_t(now->size()));
        QCOMPARE(result.baseline.percent, percent);
    }

    void firstReadingIsZero()
    {
        const auto now = parse(procStat(cpuLine(0, 100, 50, 800, 10) + cpuLine(1, 1, 2, 3, 4)));
        QVERIFY(now);
        const CPUComparison result = compareCPUTicks(std::nullopt, *now);
        QCOMPARE(result.percent, 0.0);
        QCOMPARE(result.baseline, (CPUInfo{2, *now, 0.0}));
    }

    void parsing_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("processors"); // -1: the read failed

        QTest::newRow("typical") << procStat(cpuLine(0, 1, 2, 3, 4) + cpuLine(1, 1, 2, 3, 4)) << 2;
        QTest::newRow("four states only (old kernel)") << QByteArray("cpu0 1 2 3 4\n") << 1;
        QTest::newRow("no final newline") << QByteArray("cpu3 1 2 3 4 5 6 7 8 9 10") << 1;
        QTest::newRow("empty") << QByteArray() << -1;
        QTest::newRow("aggregate line only") << QByteArray("cpu  1 2 3 4 5 6 7 8 0 0\nintr 0\n") << -1;
        QTest::newRow("cut after three states") << procStat("cpu0 1 2 3 4\ncpu1 1 2 3") << -1;
        QTest::newRow("letter in a counter") << QByteArray("cpu0 1 2 x 4\n") << -1;
        QTest::newRow("negative counter") << QByteArray("cpu0 1 -2 3 4\n") << -1;
        QTest::newRow("counter beyond 64 bits") << QByteArray("cpu0 18446744073709551616 2 3 4\n") << -1;
        QTest::newRow("processor listed twice") << QByteArray("cpu0 1 2 3 4\ncpu0 1 2 3 4\n") << -1;
    }
    void parsing()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, processors);
        const auto ticks = parse(text);
        QCOMPARE(ticks ? int(ticks->size()) : -1, processors);
    }

    // The provider over a fixture tree: a failed read keeps the figure and
    // the baseline, so the next good reading is compared with the last good one.
    void providerKeepsBaselineOverFailedReads()
    {
        FixtureTree proc;
        SystemMetricsProvider provider(proc.path().toStdString());
        QCOMPARE(provider.readCPUPercent(), 0.0); // no stat file, no baseline
        QVERIFY(!provider.previousCPUInfo());

        proc.write("stat", procStat(cpuLine(0, 100, 50, 800, 10)));
        QCOMPARE(provider.readCPUPercent(), 0.0);
        proc.write("stat", procStat(cpuLine(0, 130, 60, 860, 10)));
        QCOMPARE(provider.readCPUPercent(), 40.0);

        proc.write("stat", "cpu0 1 2\n");
        QCOMPARE(provider.readCPUPercent(), 40.0);
        proc.remove("stat");
        QCOMPARE(provider.readCPUPercent(), 40.0);
        QCOMPARE(provider.previousCPUInfo()->values.front(), (ProcessorTicks{0, 130, 60, 860, 10}));

        proc.write("stat", procStat(cpuLine(0, 140, 60, 950, 0)));
        QCOMPARE(provider.readCPUPercent(), 10.0);

        SystemMetricsProvider moved = std::move(provider);
        proc.write("stat", procStat(cpuLine(0, 140, 60, 950, 0)));
        QCOMPARE(moved.readCPUPercent(), 10.0);
    }

    void realSystemGivesAFigure()
    {
        SystemMetricsProvider provider;
        QCOMPARE(provider.readCPUPercent(), 0.0);
        QVERIFY(provider.previousCPUInfo());
        QVERIFY(provider.previousCPUInfo()->processorCount >= 1);
        QTest::qWait(200);
        const double percent = provider.readCPUPercent();
        QVERIFY2(percent >= 0.0 && percent <= 100.0, QByteArray::number(percent));
    }
};

QTEST_GUILESS_MAIN(TestCpuTicks)
#include "tst_cputicks.moc"
