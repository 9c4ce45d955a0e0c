// The real binary and the real store on the real system: real /proc, real
// processes that this test starts (and stops by pid), a desktop entry in a
// temporary XDG data folder.
#include "stores/MetricsStore.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/wait.h>

using namespace pelmora;

namespace {

const QString appName = QStringLiteral("Pelmora Test App");
const QString helperBuilt = QStringLiteral(PELMORA_BINARY_DIR "/tests/helpers/pelmora_testapp");

} // namespace

class TestCoreEndToEnd : public QObject {
    Q_OBJECT

    QTemporaryDir dataHome;
    QTemporaryDir dataDir;
    QTemporaryDir scratch;
    QList<QProcess *> started;
    // A copy under a name of its own: other suites run the same helper at the
    // same time, and a shared name would make their processes ours.
    QString helper;

    QProcess *start(const QString &program, const QStringList &arguments)
    {
        auto *p = new QProcess(this);
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(program, arguments);
        started << p;
        if (!p->waitForStarted(5000))
            return nullptr;
        return p;
    }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_DATA_HOME", dataHome.path());
        env.insert("XDG_DATA_DIRS", dataDir.path());
        env.insert("LANG", "C.UTF-8");
        env.remove("LC_ALL");
        env.remove("PELMORA_METRICS_PROBE_PATH");
        env.remove("PELMORA_PROCESS_SOURCE");
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        return env;
    }

private slots:
    void initTestCase()
    {
        const QString program = QStringLiteral("pm-core-%1").arg(QCoreApplication::applicationPid());
        helper = scratch.filePath(program);
        QVERIFY(QFile::copy(helperBuilt, helper));
        QVERIFY(QFile::setPermissions(helper, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther));
        QDir(dataDir.path()).mkpath("applications");
        QFile entry(dataDir.filePath("applications/org.pelmora.TestApp.desktop"));
        QVERIFY(entry.open(QIODevice::WriteOnly));
        entry.write("[Desktop Entry]\nType=Application\nName=" + appName.toUtf8() + "\nExec=" + program.toUtf8()
                    + " --idle\n");
        entry.close();
        qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome.path()));
        qputenv("XDG_DATA_DIRS", QFile::encodeName(dataDir.path()));
    }

    void cleanup()
    {
        for (QProcess *p : std::as_const(started)) {
            if (p->state() != QProcess::NotRunning) {
                ::kill(pid_t(p->processId()), SIGKILL);
                p->waitForFinished(5000);
            }
            delete p;
        }
        started.clear();
    }

    void onceListsTheApplicationWithBothProcesses()
    {
        QVERIFY(start(helper, {"--busy"}));
        QVERIFY(start(helper, {"--idle"}));
        QProcess once;
        once.setProcessEnvironment(environment());
        once.start(PELMORA_BINARY, {"--once"});
        QVERIFY(once.waitForFinished(20000));
        QCOMPARE(once.exitCode(), 0);
        const QString out = QString::fromUtf8(once.readAllStandardOutput());
        QVERIFY2(out.startsWith("CPU "), qPrintable(out));
        const QString line = [&] {
            for (const QString &l : out.split('\n'))
                if (l.startsWith(appName))
                    return l;
            return QString();
        }();
        QVERIFY2(!line.isEmpty(), qPrintable(out));
        const QStringList columns = line.mid(appName.size()).split(' ', Qt::SkipEmptyParts);
        // Processes, %CPU, memory ("2", "98%", "1", "MB").
        QCOMPARE(columns.value(0), QStringLiteral("2"));
        const double cpu = columns.value(1).chopped(1).toDouble();
        QVERIFY2(cpu >= 10.0, qPrintable(line)); // the busy one spins for the whole second
    }

    void probeTrailOfARunningProgram()
    {
        const QString trail = scratch.filePath("trail.log");
        QProcess pelmora;
        QProcessEnvironment env = environment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        pelmora.setProcessEnvironment(env);
        pelmora.start(PELMORA_BINARY, {"--window", "--metrics-probe", trail});
        QVERIFY(pelmora.waitForStarted(5000));
        QTRY_VERIFY_WITH_TIMEOUT([&] {
            QFile f(trail);
            return f.open(QIODevice::ReadOnly) && f.readAll().count('\n') >= 6;
        }(), 10000);
        ::kill(pid_t(pelmora.processId()), SIGTERM);
        QVERIFY(pelmora.waitForFinished(5000));

        QFile f(trail);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = f.readAll().split('\n');
        const QStringList expected{"metricsStoreInit", "metricsStoreStart", "refreshBegin",
                                   "systemMetricsRead", "processMetricsRead", "snapshot"};
        for (int i = 0; i < expected.size(); ++i) {
            const QJsonObject event = QJsonDocument::fromJson(lines.at(i)).object();
            QCOMPARE(event.value("event").toString(), expected.at(i));
        }
        QVERIFY(lines.at(0) == "{\"event\":\"metricsStoreInit\"}");
        QVERIFY2(lines.at(5).startsWith("{\"cpuPercent\":\"0.0\",\"event\":\"snapshot\",\"memoryUsedBytes\":\""),
                 lines.at(5).constData());
        const QJsonObject snapshot = QJsonDocument::fromJson(lines.at(5)).object();
        QCOMPARE(snapshot.keys().size(), 6);
        QVERIFY(snapshot.value("sampledAt").toString().toDouble() > 1.7e9);
    }

    void quittingEndsOnlyTheApplicationsProcesses()
    {
        const QString marker = scratch.filePath("terms.log");
        QProcess *busy = start(helper, {"--busy", "--marker", marker});
        QProcess *idle = start(helper, {"--idle", "--marker", marker});
        QProcess *unrelated = start("/bin/sleep", {"600"});
        QVERIFY(busy && idle && unrelated);
        QVERIFY(busy->waitForReadyRead(5000) && idle->waitForReadyRead(5000)); // handlers installed

        MetricsStore store;
        const auto &apps = store.snapshot().allApps;
        const auto app = std::find_if(apps.cbegin(), apps.cend(), [](const AppMetric &a) { return a.name == appName; });
        QVERIFY(app != apps.cend());
        QCOMPARE(app->processes.size(), 2);

        QSignalSpy refreshed(&store, &MetricsStore::snapshotChanged);
        store.quit(*app);
        QVERIFY(busy->waitForFinished(5000));
        QVERIFY(idle->waitForFinished(5000));
        QCOMPARE(busy->exitStatus(), QProcess::NormalExit); // it handled SIGTERM itself
        QCOMPARE(idle->exitCode(), 0);
        QFile log(marker);
        QVERIFY(log.open(QIODevice::ReadOnly));
        QCOMPARE(log.readAll().count("SIGTERM"), 2);
        QCOMPARE(unrelated->state(), QProcess::Running);

        QTRY_COMPARE_WITH_TIMEOUT(refreshed.size(), 1, 3000); // the follow-up refresh
        QVERIFY(std::none_of(store.snapshot().allApps.cbegin(), store.snapshot().allApps.cend(),
                             [](const AppMetric &a) { return a.name == appName; }));
    }
};

QTEST_GUILESS_MAIN(TestCoreEndToEnd)
#include "tst_core.moc"
