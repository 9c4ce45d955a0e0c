// The real binary against hostile surroundings: probe paths that cannot be
// written and settings that make no sense. It must keep running, print its
// figures, and never damage an existing file.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/stat.h>

namespace {

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

} // namespace

class TestBadInput : public QObject {
    Q_OBJECT

    QTemporaryDir scratch;

    QProcessEnvironment baseEnvironment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.remove("PELMORA_METRICS_PROBE_PATH");
        env.insert("XDG_CONFIG_HOME", scratch.filePath("config"));
        return env;
    }

private slots:
    void unusableProbePaths_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("a directory") << scratch.path();
        QTest::newRow("a full device") << "/dev/full";
        QTest::newRow("a folder that does not exist") << scratch.filePath("missing/trail.log");
        QTest::newRow("an empty path") << "";
    }
    void unusableProbePaths()
    {
        QFETCH(QString, path);
        QProcess once;
        QProcessEnvironment env = baseEnvironment();
        env.insert("PELMORA_METRICS_PROBE_PATH", path);
        once.setProcessEnvironment(env);
        once.start(PELMORA_BINARY, {"--once"});
        QVERIFY(once.waitForFinished(20000));
        QCOMPARE(once.exitStatus(), QProcess::NormalExit);
        QCOMPARE(once.exitCode(), 0);
        QVERIFY(once.readAllStandardOutput().startsWith("CPU "));
        QVERIFY(!QFile::exists(scratch.filePath("missing")));
    }

    void readOnlyTrailKeepsItsContent()
    {
        const QString path = scratch.filePath("readonly.log");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("earlier\n");
        f.close();
        ::chmod(QFile::encodeName(path).constData(), 0444);
        QProcess once;
        QProcessEnvironment env = baseEnvironment();
        env.insert("PELMORA_METRICS_PROBE_PATH", path);
        once.setProcessEnvironment(env);
        once.start(PELMORA_BINARY, {"--once"});
        QVERIFY(once.waitForFinished(20000));
        QCOMPARE(once.exitCode(), 0);
        // Root may write past the mode bits; the earlier line survives either way.
        QVERIFY(contents(path).startsWith("earlier\n"));
    }

    void nonsenseStoredHeights_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::newRow("text") << QByteArray("tall");
        QTest::newRow("infinite") << QByteArray("inf");
        QTest::newRow("not a number") << QByteArray("nan");
        QTest::newRow("negative") << QByteArray("-400");
        QTest::newRow("huge") << QByteArray("1e308");
        QTest::newRow("binary") << QByteArray("\x01\xff\xfe", 3);
    }
    void nonsenseStoredHeights()
    {
        QFETCH(QByteArray, value);
        const QString config = scratch.filePath("config/pelmora/pelmora.conf");
        QDir().mkpath(QFileInfo(config).absolutePath());
        const QByteArray stored = "[General]\npopoverHeight=" + value + "\n";
        QFile f(config);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(stored);
        f.close();

        QProcess pelmora;
        QProcessEnvironment env = baseEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        pelmora.setProcessEnvironment(env);
        pelmora.start(PELMORA_BINARY, {"--window"});
        QVERIFY(pelmora.waitForStarted(5000));
        QTest::qWait(1500);
        QCOMPARE(pelmora.state(), QProcess::Running);
        ::kill(pid_t(pelmora.processId()), SIGTERM);
        QVERIFY(pelmora.waitForFinished(5000));
        QCOMPARE(contents(config), stored); // only a drag writes the height
    }
};

QTEST_GUILESS_MAIN(TestBadInput)
#include "tst_badinput.moc"
