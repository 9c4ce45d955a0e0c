// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "models/MetricsSnapshot.h"

#include <QFile>
#include <QTest>

#include <chrono>

using namespace pelmora;

class TestRecords : public QObject {
    Q_OBJECT

private slots:
    void recordsFoldSignedZeroAndShareOnePlaceholder()
    {
        const ProcessMetric a{1, "App", "app", 0.0, 10}, b{1, "App", "app", -0.0, 10};
        QVERIFY(a == b && qHash(a) == qHash(b));
        const AppMetric x{"app", "App", 0.0, 10, {a}}, y{"app", "App", -0.0, 10, {b}};
        QVERIFY(x == y && qHash(x, 7) == qHash(y, 7));
    }

    // The placeholder before the first sample: no figures and no
    // applications, this machine's memory as the total (MemTotal in
    // /proc/meminfo), and a time taken once: asked again later, it is the
    // same sample, not a new one.
    void placeholderIsOneSampleOfThisMachine()
    {
        const MetricsSnapshot first = MetricsSnapshot::empty();
        QTest::qSleep(20);
        QCOMPARE(MetricsSnapshot::empty(), first);
        QVERIFY(first.allApps.isEmpty() && first.topCPUApps.isEmpty() && first.topMemoryApps.isEmpty());
        QCOMPARE(first.cpuPercent, 0.0);
        QCOMPARE(first.memoryUsedBytes, quint64(0));
        const auto age = WallClock::now() - first.sampledAt;
        QVERIFY(age >= std::chrono::milliseconds(20) && age < std::chrono::minutes(1));

        QFile meminfo(QStringLiteral("/proc/meminfo"));
        QVERIFY(meminfo.open(QIODevice::ReadOnly));
        const QByteArray line = meminfo.readLine(); // "MemTotal:       16330892 kB"
        QVERIFY(line.startsWith("MemTotal:"));
        QCOMPARE(first.memoryTotalBytes, line.mid(9).trimmed().split(' ').at(0).toULongLong() * 1024);
    }
};

QTEST_GUILESS_MAIN(TestRecords)
#include "tst_records.moc"
