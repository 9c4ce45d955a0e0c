// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "listlogic/AppListLogic.h"

#include <QTest>

#include <cmath>

using namespace pelmora;
using namespace pelmora::AppListLogic;

namespace {

// Its id, its processes' application name, their pids and figures differ
// from every name shown: a search must find none of them.
AppMetric app(const QString &name, double cpu, quint64 mem, const QStringList &processNames = {})
{
    AppMetric a{"org.example." + name.toLower(), name, cpu, mem, {}};
    for (const QString &p : processNames.isEmpty() ? QStringList{name.toLower()} : processNames)
        a.processes.append(ProcessMetric{qint32(4242 + a.processes.size()), "Suite", p, cpu, mem});
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
    // Names equal apart from case keep the snapshot's order, whichever comes first.
    const MetricsSnapshot sample{.allApps =
                                     {
                                         app("Odd", std::nan(""), 50),
                                         app("App 10", 5.0, 300),
                                         app("same", 1.0, 200),
                                         app("Web Browser", 37.5, 6553, {"browser", "GPU Helper", "renderer"}),
                                         app("app 2", 5.0, 300),
                                         app("Same", 1.0, 200),
                                         app("TWIN", 0.5, 150),
                                         app("Zed", 0.0, 100),
                                         app("twin", 0.5, 150),
                                     },
                                 .topCPUApps = {},
                                 .topMemoryApps = {}};

private slots:
    void sortsEachColumnWithNameTieBreaks_data()
    {
        QTest::addColumn<AppMetricKind>("kind");
        QTest::addColumn<QStringList>("order");
        const QStringList byFigures{"Web Browser", "app 2", "App 10", "same", "Same", "TWIN", "twin", "Zed", "Odd"};
        const QStringList byName{"app 2", "App 10", "Odd", "same", "Same", "TWIN", "twin", "Web Browser", "Zed"};
        QTest::newRow("cpu, NaN last") << AppMetricKind::cpu << byFigures;
        QTest::newRow("memory") << AppMetricKind::memory << byFigures;
        QTest::newRow("name") << AppMetricKind::app << byName;
    }
    void sortsEachColumnWithNameTieBreaks()
    {
        QFETCH(AppMetricKind, kind);
        QTEST(names(filteredApps(sample, AppListState{" \t\n", std::nullopt, kind})), "order");
    }

    void filtering_data()
    {
        QTest::addColumn<QString>("search");
        QTest::addColumn<QStringList>("kept");
        QTest::addColumn<QStringList>("browserProcesses");
        const QStringList none;
        QTest::newRow("padded word") << "  app " << QStringList{"app 2", "App 10"} << none;
        QTest::newRow("app name: all processes")
            << "BROWS" << QStringList{"Web Browser"} << names(sample.allApps[3].processes);
        QTest::newRow("process name only") << " gpu" << QStringList{"Web Browser"} << QStringList{"GPU Helper"};
        QTest::newRow("inner spaces matter") << "web  browser" << none << none;
        // Only the names shown are searched.
        for (const char *hidden : {"example", "suite", "4243", "37", "6553"})
            QTest::newRow(hidden) << hidden << none << none;
    }
    void filtering()
    {
        QFETCH(QString, search);
        QFETCH(QStringList, kept);
        const auto apps = filteredApps(sample, AppListState{search, {}});
        QCOMPARE(names(apps), kept);
        for (const AppMetric &a : apps) // kept records are never narrowed
            QVERIFY(sample.allApps.contains(a));
        QTEST(names(filteredProcesses(sample.allApps[3], AppListState{search, {}})), "browserProcesses");
    }
};

QTEST_GUILESS_MAIN(TestAppListLogic)
#include "tst_applistlogic.moc"
