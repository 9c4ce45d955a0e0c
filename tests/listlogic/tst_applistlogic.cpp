#include "listlogic/AppListActions.h"
#include "listlogic/AppListLogic.h"

#include <QLocale>
#include <QTest>

using namespace pelmora;
using namespace pelmora::AppListLogic;

namespace {

AppMetric app(const QString &name, double cpu, quint64 mem, const QStringList &processNames = {})
{
    AppMetric a{name.toLower(), name, cpu, mem, {}};
    qint32 pid = 100;
    for (const QString &p : processNames.isEmpty() ? QStringList{name.toLower()} : processNames)
        a.processes.append(ProcessMetric{pid++, name, p, cpu, mem});
    return a;
}

MetricsSnapshot snapshotOf(const QList<AppMetric> &apps)
{
    MetricsSnapshot s;
    s.allApps = apps;
    return s;
}

QStringList names(const QList<AppMetric> &apps)
{
    QStringList out;
    for (const AppMetric &a : apps)
        out << a.name;
    return out;
}

QStringList names(const QList<ProcessMetric> &processes)
{
    QStringList out;
    for (const ProcessMetric &p : processes)
        out << p.name;
    return out;
}

AppListState state(const QString &search, AppMetricKind kind = AppMetricKind::cpu)
{
    AppListState s;
    s.searchText = search;
    s.sortMetric = kind;
    return s;
}

} // namespace

class TestAppListLogic : public QObject {
    Q_OBJECT

    const MetricsSnapshot sample = snapshotOf({
        app("App 10", 5.0, 300),
        app("Web Browser", 30.0, 2000, {"browser", "GPU Helper", "renderer"}),
        app("app 2", 5.0, 300),
        app("Zed", 0.0, 100),
    });

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void sortsEachColumnWithNameTieBreaks_data()
    {
        QTest::addColumn<AppMetricKind>("kind");
        QTest::addColumn<QStringList>("order");
        QTest::newRow("cpu") << AppMetricKind::cpu << QStringList{"Web Browser", "app 2", "App 10", "Zed"};
        QTest::newRow("memory") << AppMetricKind::memory << QStringList{"Web Browser", "app 2", "App 10", "Zed"};
        QTest::newRow("name") << AppMetricKind::app << QStringList{"app 2", "App 10", "Web Browser", "Zed"};
    }
    void sortsEachColumnWithNameTieBreaks()
    {
        QFETCH(AppMetricKind, kind);
        QFETCH(QStringList, order);
        QCOMPARE(names(sortedApps(sample, kind)), order);
        QCOMPARE(names(filteredApps(sample, state("", kind))), order);
    }

    void equalNamesKeepSnapshotOrder()
    {
        AppMetric first = app("Same", 1, 1);
        AppMetric second = app("same", 1, 1);
        second.id = QStringLiteral("other");
        const auto sorted = sortedApps(snapshotOf({first, second}), AppMetricKind::app);
        QCOMPARE(sorted.at(0).id, first.id);
        QCOMPARE(sorted.at(1).id, second.id);
    }

    void filtering_data()
    {
        QTest::addColumn<QString>("search");
        QTest::addColumn<QStringList>("kept");
        QTest::newRow("blank filters nothing") << " \t\n " << QStringList{"Web Browser", "app 2", "App 10", "Zed"};
        QTest::newRow("padded word") << "  app " << QStringList{"app 2", "App 10"};
        QTest::newRow("case and inner position") << "BROWS" << QStringList{"Web Browser"};
        QTest::newRow("process-only match keeps whole app") << "gpu" << QStringList{"Web Browser"};
        QTest::newRow("inner spaces matter") << "web  browser" << QStringList{};
        QTest::newRow("ids are not searched") << "app 10x" << QStringList{};
    }
    void filtering()
    {
        QFETCH(QString, search);
        QFETCH(QStringList, kept);
        const auto apps = filteredApps(sample, state(search));
        QCOMPARE(names(apps), kept);
        for (const AppMetric &a : apps) // kept records are never narrowed
            QCOMPARE(a, *std::find_if(sample.allApps.cbegin(), sample.allApps.cend(),
                                      [&](const AppMetric &s) { return s.id == a.id; }));
    }

    void processesOfTheFocusedApp()
    {
        const AppMetric browser = sample.allApps.at(1);
        QCOMPARE(names(filteredProcesses(browser, state(""))), (QStringList{"browser", "GPU Helper", "renderer"}));
        QCOMPARE(names(filteredProcesses(browser, state("er"))), (QStringList{"browser", "GPU Helper", "renderer"}));
        QCOMPARE(names(filteredProcesses(browser, state(" gpu "))), (QStringList{"GPU Helper"}));
        QCOMPARE(names(filteredProcesses(browser, state("nothing"))), QStringList{});
    }

    void focusFollowsTheSampleAndSurvivesAbsence()
    {
        AppListState s;
        QVERIFY(!focusedApp(sample, s));
        s.focusedAppID = QStringLiteral("web browser");
        QCOMPARE(focusedApp(sample, s)->name, QStringLiteral("Web Browser"));

        const MetricsSnapshot without = snapshotOf({app("Zed", 0, 1)});
        QVERIFY(!focusedApp(without, s));
        QCOMPARE(s.focusedAppID, QStringLiteral("web browser")); // kept for when it returns
        QVERIFY(focusedApp(sample, s));
        QVERIFY(filteredApps(snapshotOf({}), state("x")).isEmpty());
    }

    void actionsChangeOnlyTheirPartOfTheState()
    {
        AppListState s = state("gpu", AppMetricKind::memory);
        int changes = 0;
        QList<QString> quits;
        QList<bool> pauses;
        const AppListActions actions = makeAppListActions(
            s, [&] { ++changes; }, [&](const AppMetric &a) { quits << a.id; }, [&](bool p) { pauses << p; });

        actions.showProcesses(sample.allApps.at(1));
        QCOMPARE(s.focusedAppID, QStringLiteral("web browser"));
        QCOMPARE(s.searchText, QStringLiteral("gpu"));
        actions.clearFilter();
        QVERIFY(!s.focusedAppID);
        QCOMPARE(s.searchText, QStringLiteral("gpu"));

        actions.setMetric(AppMetricKind::memory);
        QCOMPARE(s.sortMetric, AppMetricKind::memory);
        actions.setMetric(AppMetricKind::app);
        QCOMPARE(s.sortMetric, AppMetricKind::app);
        QCOMPARE(changes, 4);

        actions.quitApp(sample.allApps.at(3));
        actions.setUpdatesPaused(true);
        actions.setUpdatesPaused(false);
        QCOMPARE(quits, QList<QString>{"zed"});
        QCOMPARE(pauses, (QList<bool>{true, false}));
        QCOMPARE(changes, 4); // store calls leave the list state alone
    }
};

QTEST_GUILESS_MAIN(TestAppListLogic)
#include "tst_applistlogic.moc"
