// The real binary on the real /proc, with processes this test starts (and
// stops by pid) and a desktop entry in a temporary XDG folder.
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <csignal>

namespace {
const QString appName = QStringLiteral("Pelmora Test App");
}

class TestCoreEndToEnd : public QObject {
    Q_OBJECT

    QTemporaryDir dataHome, dataDir, scratch;
    QList<QProcess *> started;
    QString helper; // a copy under a name of its own, so other suites' helpers are not ours

    QProcess *start(const QString &program, const QStringList &arguments)
    {
        auto *p = new QProcess(this);
        p->start(program, arguments);
        started << p;
        return p->waitForStarted(5000) ? p : nullptr;
    }

    static QProcessEnvironment environment()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"LC_ALL", "PELMORA_METRICS_PROBE_PATH", "PELMORA_PROCESS_SOURCE", "DISPLAY",
                                 "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QLatin1String(name));
        env.insert("LANG", "C.UTF-8");
        return env;
    }

private slots:
    void initTestCase()
    {
        const QString program = QStringLiteral("pm-core-%1").arg(QCoreApplication::applicationPid());
        helper = scratch.filePath(program);
        QVERIFY(QFile::copy(PELMORA_BINARY_DIR "/tests/helpers/pelmora_testapp", helper));
        QVERIFY(QFile::setPermissions(helper, QFile::ReadOwner | QFile::ExeOwner));
        QDir(dataDir.path()).mkpath("applications");
        QFile entry(dataDir.filePath("applications/org.pelmora.TestApp.desktop"));
        QVERIFY(entry.open(QIODevice::WriteOnly));
        entry.write("[Desktop Entry]\nType=Application\nName=" + appName.toUtf8() + "\nExec=" + program.toUtf8() + " --idle\n");
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

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("expected"); // in standard output or error
        QTest::newRow("version") << QStringList{"--version"} << 0 << "pelmora ";
        QTest::newRow("help") << QStringList{"--help"} << 0 << "--metrics-probe <path>";
        QTest::newRow("no display") << QStringList{} << 2 << "no display found";
    }
    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, expected);
        QProcess pelmora;
        pelmora.setProcessEnvironment(environment());
        pelmora.start(PELMORA_BINARY, arguments);
        QVERIFY(pelmora.waitForFinished(10000));
        QCOMPARE(pelmora.exitStatus(), QProcess::NormalExit);
        QCOMPARE(pelmora.exitCode(), exitCode);
        const QString output = pelmora.readAllStandardOutput() + pelmora.readAllStandardError();
        QVERIFY2(output.contains(expected), qPrintable(output));
    }

    // --once lists the application with both of its processes, their CPU and memory.
    void onceSeesTheApplication()
    {
        QVERIFY(start(helper, {"--busy"}) && start(helper, {"--idle"}));
        QProcess once;
        once.setProcessEnvironment(environment());
        once.start(PELMORA_BINARY, {"--once"});
        QVERIFY(once.waitForFinished(20000));
        QCOMPARE(once.exitCode(), 0);
        const QString out = QString::fromUtf8(once.readAllStandardOutput());
        const qsizetype at = out.indexOf("\n" + appName);
        QVERIFY2(out.startsWith("CPU ") && at > 0, qPrintable(out));
        // Processes, %CPU, memory: "2  98%  1.4 MB".
        const QStringList columns = out.mid(at + appName.size() + 1).section('\n', 0, 0).split(' ', Qt::SkipEmptyParts);
        QCOMPARE(columns.value(0), "2");
        QVERIFY2(columns.value(1).chopped(1).toDouble() >= 10.0, qPrintable(out)); // one spins the whole second
        QVERIFY2(columns.value(2).toDouble() > 0 && columns.value(3).endsWith("B"), qPrintable(out));
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
        QByteArray text;
        QTRY_VERIFY_WITH_TIMEOUT([&] {
            QFile f(trail);
            return f.open(QIODevice::ReadOnly) && (text = f.readAll()).count('\n') >= 6;
        }(), 10000);
        const QList<QByteArray> lines = text.split('\n');
        ::kill(pid_t(pelmora.processId()), SIGTERM);
        QVERIFY(pelmora.waitForFinished(5000));

        const QStringList expected{"metricsStoreInit", "metricsStoreStart", "refreshBegin",
                                   "systemMetricsRead", "processMetricsRead", "snapshot"};
        for (int i = 0; i < expected.size(); ++i)
            QCOMPARE(QJsonDocument::fromJson(lines.at(i)).object().value("event").toString(), expected.at(i));
        QCOMPARE(lines.at(0), "{\"event\":\"metricsStoreInit\"}");
        QVERIFY2(lines.at(5).startsWith("{\"cpuPercent\":\"0.0\",\"event\":\"snapshot\",\"memoryUsedBytes\":\""),
                 lines.at(5).constData());
        const QJsonObject snapshot = QJsonDocument::fromJson(lines.at(5)).object();
        QCOMPARE(snapshot.keys().size(), 6);
        QVERIFY(snapshot.value("sampledAt").toString().toDouble() > 1.7e9);
    }
};

QTEST_GUILESS_MAIN(TestCoreEndToEnd)
#include "tst_core.moc"
