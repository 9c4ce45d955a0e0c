#include "services/ProcessGrouping.h"

#include <QLocale>
#include <QTest>

#include <cmath>
#include <limits>

using namespace pelmora;

namespace {

ProcessMetric proc(qint32 id, const QString &app, double cpu, quint64 mem, const QString &name = QString())
{
    return ProcessMetric{id, app, name.isEmpty() ? app.toLower() : name, cpu, mem};
}

QStringList names(const QList<AppMetric> &apps)
{
    QStringList out;
    for (const AppMetric &a : apps)
        out << a.name;
    return out;
}

} // namespace

class TestGrouping : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void groupsCaseInsensitivelyUnderTheBusiestName()
    {
        const RankedApps r = groupAndRank({proc(1, "Mail", 1.0, 100), proc(2, "MAIL", 3.0, 50)});
        QCOMPARE(r.all.size(), 1);
        const AppMetric &mail = r.all.front();
        QCOMPARE(mail.id, QStringLiteral("mail"));
        QCOMPARE(mail.name, QStringLiteral("MAIL"));
        QCOMPARE(mail.cpuPercent, 4.0);
        QCOMPARE(mail.memoryBytes, quint64(150));
        QCOMPARE(mail.processes.front().id, 2);
    }

    void processesOrderedByCpuThenMemoryStably()
    {
        const auto app = makeAppMetric("a", {proc(1, "A", 1.0, 10), proc(2, "A", 2.0, 5), proc(3, "A", 1.0, 20),
                                             proc(4, "A", 1.0, 10)});
        QVERIFY(app);
        QList<qint32> ids;
        for (const ProcessMetric &p : app->processes)
            ids << p.id;
        QCOMPARE(ids, (QList<qint32>{2, 3, 1, 4}));
        QVERIFY(!makeAppMetric("empty", {}));
    }

    void threeRankings()
    {
        const RankedApps r = groupAndRank({
            proc(1, "App 10", 5.0, 300),
            proc(2, "app 2", 5.0, 100),
            proc(3, "Zed", 9.0, 100),
            proc(4, "beta", 0.0, 900),
        });
        QCOMPARE(names(r.all), (QStringList{"app 2", "App 10", "beta", "Zed"}));
        QCOMPARE(names(r.cpu), (QStringList{"Zed", "app 2", "App 10", "beta"}));
        QCOMPARE(names(r.memory), (QStringList{"beta", "App 10", "app 2", "Zed"}));
    }

    void equalNamesKeepGroupingOrder()
    {
        // Different ids, names equal to the collator apart from case.
        const AppMetric first{"x1", "Same", 1, 1, {proc(1, "Same", 1, 1)}};
        const AppMetric second{"x2", "same", 1, 1, {proc(2, "same", 1, 1)}};
        QVERIFY(!nameAscending(first, second) && !nameAscending(second, first));
    }

    void hostileFiguresStayOrderedAndSaturate()
    {
        const quint64 max = std::numeric_limits<quint64>::max();
        const double nan = std::numeric_limits<double>::quiet_NaN();
        const RankedApps r = groupAndRank({proc(1, "Big", 1.0, max), proc(2, "Big", 1.0, 10), proc(3, "Odd", nan, 1),
                                           proc(4, "Busy", 50.0, 1), proc(5, "Odd", 2.0, 1)});
        QCOMPARE(r.memory.front().name, QStringLiteral("Big"));
        QCOMPARE(r.memory.front().memoryBytes, max);
        QCOMPARE(r.cpu.front().name, QStringLiteral("Busy"));
        // The NaN process sorts last within its application.
        const AppMetric odd = r.all.at(2);
        QCOMPARE(odd.name, QStringLiteral("Odd"));
        QCOMPARE(odd.processes.front().id, 5);
    }

    void emptyTableGivesEmptyLists()
    {
        const RankedApps r = groupAndRank({});
        QVERIFY(r.all.isEmpty() && r.cpu.isEmpty() && r.memory.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestGrouping)
#include "tst_grouping.moc"
