// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "stores/MetricsStore.h"
#include "stores/StatusTitleRule.h"

#include "testsupport/FixtureMachine.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace pelmora;
using namespace std::chrono_literals;

class TestMetricsStore : public QObject {
    Q_OBJECT

    QTemporaryDir probeDir;
    QString probePath = probeDir.filePath("trail.log");
    // A wall clock the test moves by hand.
    std::shared_ptr<WallClock::time_point> now = std::make_shared<WallClock::time_point>(1764930000s);
    MetricsStore::Clock clock = [now = now] { return *now; };

    QStringList trailEvents(QJsonObject *last = nullptr) const
    {
        QFile f(probePath);
        QStringList names;
        if (f.open(QIODevice::ReadOnly))
            for (const QByteArray &line : f.readAll().trimmed().split('\n')) {
                const QJsonObject event = QJsonDocument::fromJson(line).object();
                names << event.value("event").toString();
                if (last)
                    *last = event;
            }
        return names;
    }

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        // The probe path is resolved once per process, so one trail serves this suite.
        qputenv("PELMORA_METRICS_PROBE_PATH", QFile::encodeName(probePath));
    }

    void titleRule_data()
    {
        QTest::addColumn<double>("cpu");
        QTest::addColumn<double>("memory");
        QTest::addColumn<bool>("withApps");
        QTest::addColumn<int>("sinceLast"); // ms since the last title; negative: none yet
        QTest::addColumn<QString>("title"); // empty: no update
        QTest::newRow("first, CPU exactly 0") << 0.0 << 63.0 << true << -1 << "";
        QTest::newRow("first, half to even, no %") << 12.5 << 63.5 << true << -1 << "12/64";
        QTest::newRow("no applications, first") << 12.4 << 63.0 << false << -1 << "";
        QTest::newRow("no applications, later") << 12.4 << 63.0 << false << 60000 << "";
        QTest::newRow("exactly 5 s later") << 12.4 << 63.0 << true << 5000 << "12/63";
        QTest::newRow("4.99 s later") << 12.4 << 63.0 << true << 4990 << "";
        QTest::newRow("later, CPU 0 is fine") << 0.0 << 63.0 << true << 5000 << "0/63";
    }
    void titleRule()
    {
        QFETCH(double, cpu);
        QFETCH(double, memory);
        QFETCH(bool, withApps);
        QFETCH(int, sinceLast);
        MetricsSnapshot s{cpu, memory, 0, 0, {}, {}, {}};
        if (withApps)
            s.allApps = s.topCPUApps = s.topMemoryApps = {
                AppMetric{"a", "A", cpu, 1, {ProcessMetric{1, "A", "a", cpu, 1}}}};
        const auto lastTitle = sinceLast < 0 ? std::nullopt : std::optional(*now);
        const auto figures = StatusTitleRule::figuresFor(s, lastTitle, *now + std::chrono::milliseconds(sinceLast));
        QTEST(figures ? StatusTitleRule::title(figures) : QString(), "title");
    }

    // The first sample is published by the constructor; every change after
    // reaches observers with the new value, titles only when one is due.
    void constructionPublishesFirstSampleThenSignalsCarryNewValues()
    {
        FixtureMachine machine;
        const quint64 max = std::numeric_limits<quint64>::max();
        machine.addApp("Editor", {{"editor", 10.0, 64 << 20}});
        machine.addApp("Huge", {{"huge", 0.0, max}, {"huge-2", 0.0, max}});
        machine.addStrayProcess({"cron", 1.0, 1 << 20}); // belongs to no application
        machine.setMemory(quint64(4) << 30, quint64(16) << 30);
        QFile::remove(probePath);
        MetricsStore store(machine.storeOptions(clock));

        const MetricsSnapshot &s = store.snapshot();
        QVERIFY(!store.statusFigures());
        QCOMPARE(s.memoryUsedPercent, 25.0);
        QCOMPARE(s.allApps.size(), 2);
        QCOMPARE(s.topCPUApps.front().name, QStringLiteral("Editor"));
        QCOMPARE(s.topMemoryApps.front().memoryBytes, max); // the sum saturates
        QCOMPARE(s.sampledAt, *now);

        QJsonObject last;
        const QStringList refresh{"refreshBegin", "systemMetricsRead", "processMetricsRead", "snapshot"};
        QCOMPARE(trailEvents(&last), QStringList({"metricsStoreInit", "metricsStoreStart"}) + refresh);
        QCOMPARE(last,
                 (QJsonObject{{"event", "snapshot"},
                              {"cpuPercent", "0.0"},
                              {"memoryUsedBytes", QString::number(quint64(4) << 30)},
                              {"sampledAt", "1764930000.0"},
                              {"topCPUCount", "2"},
                              {"topMemoryCount", "2"}}));
        store.refresh();
        QCOMPARE(trailEvents().mid(6), refresh);

        QStringList seen;
        connect(&store, &MetricsStore::statusFiguresChanged, this,
                [&] { seen << StatusTitleRule::title(store.statusFigures()); });
        connect(&store, &MetricsStore::snapshotChanged, this, [&] {
            seen << QString::number(store.snapshot().cpuPercent); // observers read the new value
        });
        for (const double cpu : {12.4, 49.6, 50.0, 50.0}) {
            machine.advanceMachineCpu(cpu);
            *now += cpu == 49.6 ? 4990ms : 5000ms; // 49.6 comes too soon for a title
            store.refresh();
        }
        QCOMPARE(seen, (QStringList{"12.4", "12/25", "49.6", "50", "50/25", "50", "50/25"}));
    }

    // Ticks while paused refresh nothing; a quit refreshes once, however
    // paused, a second later (the default delay), and a follow-up still
    // pending when its store goes never runs.
    void pausedTicksDoNothingButQuitRefreshesOneSecondLater()
    {
        FixtureMachine machine; // its pids are above any real pid, so the quit reaches no one
        const QList<qint32> pids = machine.addApp("Editor", {{"editor", 10.0, 64 << 20}});
        MetricsStore store(machine.storeOptions({}, 20ms));
        QSignalSpy snapshots(&store, &MetricsStore::snapshotChanged);
        QSignalSpy ticks(store.findChild<QTimer *>("refreshTimer"), &QTimer::timeout);
        const auto tickedThrice = [&] {
            ticks.clear();
            return QTest::qWaitFor([&] { return ticks.size() >= 3; });
        };
        QTRY_VERIFY(snapshots.size() >= 2); // the timer runs
        store.setUpdatesPaused(true);
        const qsizetype before = snapshots.size();
        QVERIFY(tickedThrice());
        QCOMPARE(snapshots.size(), before);

        machine.removeProcess(pids.front()); // as if it honoured the request
        QElapsedTimer sinceQuit;
        qint64 refreshedAfter = -1;
        connect(&store, &MetricsStore::snapshotChanged, this, [&] {
            if (refreshedAfter < 0)
                refreshedAfter = sinceQuit.elapsed();
        });
        QSignalSpy answered(&store, &MetricsStore::quitAnswered);
        sinceQuit.start();
        store.quit(store.snapshot().allApps.front());
        // Nothing of it could be pinned (no such processes): it is gone by the time it is asked.
        QTRY_COMPARE(answered.size(), 1);
        QCOMPARE(answered.front().front().value<QuitOutcome>().kind, QuitOutcome::Kind::gone);
        QCOMPARE(answered.front().front().value<QuitOutcome>().appId, u"editor");
        QTRY_COMPARE_WITH_TIMEOUT(snapshots.size(), before + 1, 3000);
        QVERIFY2(refreshedAfter >= 1000, qPrintable(QString::number(refreshedAfter)));
        QVERIFY(store.snapshot().allApps.isEmpty());
        QVERIFY(tickedThrice());
        QCOMPARE(snapshots.size(), before + 1); // one follow-up, and still paused
        store.setUpdatesPaused(false);
        QTRY_VERIFY(snapshots.size() > before + 1);
        store.setUpdatesPaused(true); // its ticks write nothing to the trail from here on

        // The doomed store's follow-up is due before the witness's: once the
        // witness refreshed, the trail shows that refresh alone.
        MetricsStore::Options soon = machine.storeOptions();
        soon.quitFollowUpDelay = 20ms;
        auto doomed = std::make_unique<MetricsStore>(std::move(soon));
        MetricsStore::Options later = machine.storeOptions();
        later.quitFollowUpDelay = 60ms;
        MetricsStore witness(std::move(later));
        QSignalSpy witnessed(&witness, &MetricsStore::snapshotChanged);
        doomed->quit(AppMetric{});
        witness.quit(AppMetric{});
        doomed.reset();
        const qsizetype trailBefore = trailEvents().size();
        QTRY_COMPARE(witnessed.size(), 1);
        QCOMPARE(trailEvents().mid(trailBefore).count("refreshBegin"), 1);
    }
};

QTEST_GUILESS_MAIN(TestMetricsStore)
#include "tst_metricsstore.moc"
