// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "services/ProcessGrouping.h"

#include <QLocale>
#include <QTest>

#include <limits>

using namespace pelmora;

namespace {

template<typename T, typename V> QList<V> column(const QList<T> &rows, V T::*field)
{
    QList<V> out;
    for (const T &row : rows)
        out << row.*field;
    return out;
}

} // namespace

class TestGrouping : public QObject {
    Q_OBJECT
private slots:
    void groupsAndRanks()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        const quint64 max = std::numeric_limits<quint64>::max();
        const double nan = std::numeric_limits<double>::quiet_NaN();
        const RankedApps r = groupAndRank({
            {1, "Mail", "m1", 1.0, 100},
            {2, "MAIL", "m2", 3.0, 50},
            {3, "Mail", "m3", 1.0, 200},
            {4, "mail", "m4", nan, 900},
            {5, "Mail", "m5", 1.0, 200}, // equal to 3: grouping order kept
            {6, "App 10", "a", 5.0, 300},
            {7, "app 2", "b", 5.0, 100},
            {8, "Zed", "z", 9.0, 100},
            {9, "Big", "g", 0.0, max},
            {10, "big", "g", 0.0, 10}, // saturates rather than wraps
        });
        // Grouped case-insensitively, named after the busiest process, processes by CPU then memory.
        const AppMetric &mail = r.all.at(3);
        QCOMPARE(mail.id, QStringLiteral("mail"));
        QCOMPARE(mail.name, QStringLiteral("MAIL"));
        QCOMPARE(mail.memoryBytes, quint64(1450));
        QCOMPARE(column(mail.processes, &ProcessMetric::id), (QList<qint32>{2, 3, 5, 1, 4}));
        QCOMPARE(r.all.at(2).memoryBytes, max);
        // Three orders, ties by natural name order.
        QCOMPARE(column(r.all, &AppMetric::name), (QStringList{"app 2", "App 10", "Big", "MAIL", "Zed"}));
        QCOMPARE(column(r.cpu, &AppMetric::name), (QStringList{"Zed", "app 2", "App 10", "Big", "MAIL"}));
        QCOMPARE(column(r.memory, &AppMetric::name), (QStringList{"Big", "MAIL", "App 10", "app 2", "Zed"}));

        // Names equal to the collator apart from case keep their order.
        const AppMetric first{"x1", "Same", 1, 1, {}};
        const AppMetric second{"x2", "same", 1, 1, {}};
        QVERIFY(!nameAscending(first, second) && !nameAscending(second, first));
    }
};

QTEST_GUILESS_MAIN(TestGrouping)
#include "tst_grouping.moc"
