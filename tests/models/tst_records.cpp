// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "models/MetricsSnapshot.h"

#include <QTest>

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
        QCOMPARE(&MetricsSnapshot::empty(), &MetricsSnapshot::empty());
        QVERIFY(MetricsSnapshot::empty().memoryTotalBytes > 0 && MetricsSnapshot::empty().sampledAt > WallClock::time_point{});
    }};

QTEST_GUILESS_MAIN(TestRecords)
#include "tst_records.moc"
