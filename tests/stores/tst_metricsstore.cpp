#include "stores/MetricsStore.h"
#include "support/RuntimeProbe.h"

#include "testsupport/FixtureMachine.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace pelmora;
using namespace std::chrono_literals;

namespace {

// A wall clock the test moves by hand.
struct ManualClock {
    std::shared_ptr<WallClock::time_point> now = std::make_shared<WallClock::time_point>(1764930000s);
    MetricsStore::Clock clock() const
    {
        return [now = now] { return *now; };
    }
    void advance(std::chrono::milliseconds by) const { *now += by; }
};

QList<QJsonObject> trail(const QString &path)
{
    QFile f(path);
    QList<QJsonObject> events;
    if (!f.open(QIODevice::ReadOnly))
        return events;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (!line.isEmpty())
            events << QJsonDocument::fromJson(line).object();
    }
    return events;
}

QStringList eventNames(const QList<QJsonObject> &events)
{
    QStringList names;
    for (const QJsonObject &e : events)
        names << e.value("event").toString();
    return names;
}

} // namespace

class TestMetricsStore : public QObject {
    Q_OBJECT

    QTemporaryDir probeDir;
    QString probePath;

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        // The probe path is resolved once per process, so one trail serves this suite.
        probePath = probeDir.filePath("trail.log");
        qputenv("PELMORA_METRICS_PROBE_PATH", QFile::encodeName(probePath));
    }

    void constructionPublishesFirstSampleAndTrail()
    {
        FixtureMachine machine;
        machine.addApp("Mail", {{"mail", 2.5, 8 << 20}, {"mail-helper", 0.5, 4 << 20}});
        machine.addApp("Editor", {{"editor", 10.0, 64 << 20}});
        machine.addStrayProcess({"cron", 1.0, 1 << 20});
        machine.setMemory(quint64(4) << 30, quint64(16) << 30);

        QFile::remove(probePath);
        ManualClock clock;
        MetricsStore store(machine.storeOptions(clock.clock()));

        const MetricsSnapshot &s = store.snapshot();
        QCOMPARE(s.cpuPercent, 0.0);
        QCOMPARE(store.statusTitle(), QStringLiteral("--/--"));
        QCOMPARE(s.memoryUsedPercent, 25.0);
        QCOMPARE(s.allApps.size(), 2); // the stray process belongs to no application
        QCOMPARE(s.topCPUApps.front().name, QStringLiteral("Editor"));
        QCOMPARE(s.topMemoryApps.front().name, QStringLiteral("Editor"));
        const AppMetric mail = s.topCPUApps.at(1);
        QCOMPARE(mail.id, QStringLiteral("mail"));
        QCOMPARE(mail.processes.size(), 2);
        QCOMPARE(mail.cpuPercent, 3.0);
        QCOMPARE(mail.memoryBytes, quint64(12) << 20);
        QCOMPARE(s.sampledAt, *clock.now);

        const QList<QJsonObject> events = trail(probePath);
        QCOMPARE(eventNames(events), (QStringList{"metricsStoreInit", "metricsStoreStart", "refreshBegin",
                                                  "systemMetricsRead", "processMetricsRead", "snapshot"}));
        QCOMPARE(events[4].value("topCPUCount").toString(), QStringLiteral("2"));
        const QJsonObject snap = events[5];
        QCOMPARE(snap.keys(), (QStringList{"cpuPercent", "event", "memoryUsedBytes", "sampledAt", "topCPUCount",
                                           "topMemoryCount"}));
        QCOMPARE(snap.value("cpuPercent").toString(), QStringLiteral("0.0"));
        QCOMPARE(snap.value("memoryUsedBytes").toString(), QString::number(quint64(4) << 30));
        QCOMPARE(snap.value("sampledAt").toString(), QStringLiteral("1764930000.0"));

        store.refresh();
        QCOMPARE(eventNames(trail(probePath)).mid(6),
                 (QStringList{"refreshBegin", "systemMetricsRead", "processMetricsRead", "snapshot"}));
    }

    void titleFollowsThrottleAndSignalsCarryNewValues()
    {
        FixtureMachine machine;
        machine.addApp("Editor", {{"editor", 10.0, 64 << 20}});
        machine.setMemory(quint64(63) << 30, quint64(100) << 30);
        ManualClock clock;
        MetricsStore store(machine.storeOptions(clock.clock()));

        QStringList titlesSeen;
        int snapshotsSeen = 0;
        connect(&store, &MetricsStore::statusTitleChanged, this, [&] { titlesSeen << store.statusTitle(); });
        connect(&store, &MetricsStore::snapshotChanged, this, [&] {
            ++snapshotsSeen;
            QCOMPARE(store.snapshot().sampledAt, *clock.now); // observers read the new value
        });

        machine.advanceMachineCpu(12.4);
        clock.advance(5s);
        store.refresh();
        QCOMPARE(titlesSeen, QStringList{"12/63"});

        machine.advanceMachineCpu(50.0);
        clock.advance(4990ms); // too soon
        store.refresh();
        QCOMPARE(store.snapshot().cpuPercent, 50.0);
        QCOMPARE(titlesSeen, QStringList{"12/63"});

        clock.advance(10ms); // exactly 5 s after the last title
        store.refresh();
        QCOMPARE(titlesSeen, (QStringList{"12/63", "50/63"}));

        machine.advanceMachineCpu(50.0);
        clock.advance(5s);
        store.refresh(); // same text: assigned and signalled again
        QCOMPARE(titlesSeen, (QStringList{"12/63", "50/63", "50/63"}));
        QCOMPARE(snapshotsSeen, 4);
    }

    void emptySampleLeavesTitleAlone()
    {
        FixtureMachine machine; // no applications at all
        ManualClock clock;
        MetricsStore store(machine.storeOptions(clock.clock()));
        machine.advanceMachineCpu(30.0);
        clock.advance(5s);
        store.refresh();
        QVERIFY(store.snapshot().allApps.isEmpty());
        QCOMPARE(store.snapshot().cpuPercent, 30.0);
        QCOMPARE(store.statusTitle(), QStringLiteral("--/--"));
    }

    void pausedTicksDoNothingButDirectRefreshesRun()
    {
        FixtureMachine machine;
        machine.addApp("Editor", {{"editor", 10.0, 64 << 20}});
        MetricsStore store(machine.storeOptions({}, 20ms));
        QSignalSpy snapshots(&store, &MetricsStore::snapshotChanged);
        QTRY_VERIFY_WITH_TIMEOUT(snapshots.size() >= 2, 2000); // the timer runs

        store.setUpdatesPaused(true);
        QVERIFY(store.isRefreshPaused());
        QTest::qWait(50); // let a tick already queued drain
        const qsizetype before = snapshots.size();
        const auto sampleBefore = store.snapshot().sampledAt;
        QTest::qWait(150);
        QCOMPARE(snapshots.size(), before);
        QCOMPARE(store.snapshot().sampledAt, sampleBefore);

        store.refresh();
        QCOMPARE(snapshots.size(), before + 1);

        store.setUpdatesPaused(false);
        QTRY_VERIFY_WITH_TIMEOUT(snapshots.size() > before + 1, 2000);
    }

    void quitRefreshesOneSecondLaterEvenWhilePaused()
    {
        FixtureMachine machine;
        const QList<qint32> pids = machine.addApp("Editor", {{"editor", 10.0, 64 << 20}});
        MetricsStore store(machine.storeOptions());
        store.setUpdatesPaused(true);
        QSignalSpy snapshots(&store, &MetricsStore::snapshotChanged);

        machine.removeProcess(pids.front()); // as if it honoured the request
        QElapsedTimer timer;
        timer.start();
        store.quit(store.snapshot().allApps.front());
        QCOMPARE(snapshots.size(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(snapshots.size(), 1, 3000);
        QVERIFY(timer.elapsed() >= 900);
        QVERIFY(store.snapshot().allApps.isEmpty());
    }

    void pendingFollowUpDiesWithTheStore()
    {
        FixtureMachine machine;
        machine.addApp("Editor", {{"editor", 10.0, 64 << 20}});
        auto store = std::make_unique<MetricsStore>(machine.storeOptions());
        store->quit(store->snapshot().allApps.front());
        store.reset();
        QTest::qWait(1200); // a dangling follow-up would touch freed memory (ASan catches it)
    }
};

QTEST_GUILESS_MAIN(TestMetricsStore)
#include "tst_metricsstore.moc"
