#include "models/MetricsSnapshot.h"

#include <QTest>

using namespace pelmora;

class TestRecords : public QObject {
    Q_OBJECT
private slots:
    void signedZeroIsEqualAndHashesAlike()
    {
        ProcessMetric a{1, "App", "app", 0.0, 10};
        ProcessMetric b{1, "App", "app", -0.0, 10};
        QCOMPARE(a, b);
        QCOMPARE(qHash(a), qHash(b));

        AppMetric x{"app", "App", 0.0, 10, {a}};
        AppMetric y{"app", "App", -0.0, 10, {b}};
        QCOMPARE(x, y);
        QCOMPARE(qHash(x, 7), qHash(y, 7));
    }

    void appEqualityComparesEveryFieldAndProcessesInOrder()
    {
        const ProcessMetric p1{1, "A", "a", 2.0, 10};
        const ProcessMetric p2{2, "A", "a", 1.0, 10};
        const AppMetric base{"a", "A", 3.0, 20, {p1, p2}};

        AppMetric busier = base;
        busier.cpuPercent = 4.0; // same row identity, different value
        QCOMPARE(busier.id, base.id);
        QVERIFY(busier != base);

        AppMetric reordered = base;
        reordered.processes = {p2, p1};
        QVERIFY(reordered != base);
        QVERIFY(qHash(reordered) != qHash(base));

        AppMetric shorter = base;
        shorter.processes = {p1};
        QVERIFY(shorter != base);
    }

    void snapshotsDifferBySampleTime()
    {
        MetricsSnapshot a;
        a.cpuPercent = 12.5;
        MetricsSnapshot b = a;
        QCOMPARE(a, b);
        b.sampledAt += std::chrono::microseconds(1);
        QVERIFY(a != b);
    }

    void emptySnapshotIsBuiltOnce()
    {
        const MetricsSnapshot &first = MetricsSnapshot::empty();
        QCOMPARE(&first, &MetricsSnapshot::empty());
        QCOMPARE(first.cpuPercent, 0.0);
        QVERIFY(first.allApps.isEmpty() && first.topCPUApps.isEmpty() && first.topMemoryApps.isEmpty());
        QVERIFY(first.memoryTotalBytes > 0);
        QVERIFY(first.sampledAt.time_since_epoch().count() > 0);
    }

    void epochSecondsKeepFractions()
    {
        const WallClock::time_point t{std::chrono::duration_cast<WallClock::duration>(
            std::chrono::duration<double>(1764930000.25))};
        QCOMPARE(secondsSinceEpoch(t), 1764930000.25);
    }
};

QTEST_GUILESS_MAIN(TestRecords)
#include "tst_records.moc"
