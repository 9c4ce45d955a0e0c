// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "listlogic/AppListLogic.h"

#include <QTest>

#include <cmath>

using namespace pelmora;
using namespace pelmora::AppListLogic;

namespace {

AppMetric app(const QString &name, double cpu, quint64 mem, const QStringList &processNames = {})
{
    AppMetric a{name.toLower(), name, cpu, mem, {}};
    for (const QString &p : processNames.isEmpty() ? QStringList{name.toLower()} : processNames)
        a.processes.append(ProcessMetric{qint32(100 + a.processes.size()), name, p, cpu, mem});
    return a;
}

template<typename Records> QStringList names(const Records &records)
{
    QStringList out;
    for (const auto &r : records)
        out << r.name;
    return out;
}

} // namespace

// Runs under the C locale (as CTest sets it), where the name collator must
// still order digit runs by value and ignore case.
class TestAppListLogic : public QObject {
    Q_OBJECT

    // NaN first: a comparator without a strict weak order would leave it there.
    const MetricsSnapshot sample{.allApps =
                                     {
                                         app("Odd", std::nan(""), 50),
                                         app("App 10", 5.0, 300),
                                         app("Web Browser", 30.0, 2000, {"browser", "GPU Helper", "renderer"}),
                                         app("app 2", 5.0, 300),
                                         app("Zed", 0.0, 100),
                                     },
                                 .topCPUApps = {},
                                 .topMemoryApps = {}};

private slots:
    void sortsEachColumnWithNameTieBreaks_data()
    {
        QTest::addColumn<AppMetricKind>("kind");
        QTest::addColumn<QStringList>("order");
        QTest::newRow("cpu, NaN last") << AppMetricKind::cpu
                                       << QStringList{"Web Browser", "app 2", "App 10", "Zed", "Odd"};
        QTest::newRow("memory") << AppMetricKind::memory << QStringList{"Web Browser", "app 2", "App 10", "Zed", "Odd"};
        QTest::newRow("name") << AppMetricKind::app << QStringList{"app 2", "App 10", "Odd", "Web Browser", "Zed"};
    }
    void sortsEachColumnWithNameTieBreaks()
    {
        QFETCH(AppMetricKind, kind);
        QTEST(names(filteredApps(sample, AppListState{" \t\n", std::nullopt, kind})), "order");
    }

    void equalNamesKeepSnapshotOrder()
    {
        for (const QStringList &order : {QStringList{"Same", "same"}, QStringList{"same", "Same"}}) {
            MetricsSnapshot s;
            s.allApps = {app(order[0], 1, 1), app(order[1], 1, 1)};
            QCOMPARE(names(sortedApps(s, AppMetricKind::app)), order);
        }
    }

    void filtering_data()
    {
        QTest::addColumn<QString>("search");
        QTest::addColumn<QStringList>("kept");
        QTest::addColumn<QStringList>("browserProcesses");
        const QStringList none;
        QTest::newRow("padded word") << "  app " << QStringList{"app 2", "App 10"} << none;
        QTest::newRow("app name: all processes")
            << "BROWS" << QStringList{"Web Browser"} << names(sample.allApps[2].processes);
        QTest::newRow("process name only") << " gpu" << QStringList{"Web Browser"} << QStringList{"GPU Helper"};
        QTest::newRow("inner spaces matter") << "web  browser" << none << none;
    }
    void filtering()
    {
        QFETCH(QString, search);
        QFETCH(QStringList, kept);
        const auto apps = filteredApps(sample, AppListState{search, {}});
        QCOMPARE(names(apps), kept);
        for (const AppMetric &a : apps) // kept records are never narrowed
            QVERIFY(sample.allApps.contains(a));
        QTEST(names(filteredProcesses(sample.allApps[2], AppListState{search, {}})), "browserProcesses");
    }

    // Only the names shown are searched: an application whose id, whose
    // processes' application name, pids and figures all differ from every
    // name is found by its names alone.
    void onlyNamesAreSearched_data()
    {
        QTest::addColumn<QString>("search");
        QTest::addColumn<bool>("found");
        QTest::newRow("application name") << "mai" << true;
        QTest::newRow("process name") << "DAEMON" << true;
        QTest::newRow("id") << "thunderbird" << false;
        QTest::newRow("application name of the processes") << "suite" << false;
        QTest::newRow("pid") << "4242" << false;
        QTest::newRow("cpu figure") << "37" << false;
        QTest::newRow("memory figure") << "6553" << false;
    }
    void onlyNamesAreSearched()
    {
        QFETCH(QString, search);
        QFETCH(bool, found);
        MetricsSnapshot s;
        s.allApps = {AppMetric{"org.example.thunderbird",
                               "Mail",
                               37.5,
                               65536,
                               {ProcessMetric{4242, "Thunderbird Suite", "mail-daemon", 37.5, 65536}}}};
        QCOMPARE(filteredApps(s, AppListState{search, {}}).size(), found ? 1 : 0);
    }
};

QTEST_GUILESS_MAIN(TestAppListLogic)
#include "tst_applistlogic.moc"
