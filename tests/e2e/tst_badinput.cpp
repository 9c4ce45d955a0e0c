// The real binary against hostile surroundings: probe paths it cannot write,
// broken desktop entries and processes with undecodable names, nonsense
// settings. It must keep running, print its figures, and damage no file.
#include "testsupport/FixtureTree.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <csignal>
#include <sys/stat.h>

class TestBadInput : public QObject {
    Q_OBJECT

    FixtureTree scratch;

    QProcessEnvironment environment(const QString &probePath = {}) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "PELMORA_METRICS_PROBE_PATH"})
            env.remove(QLatin1String(name));
        env.insert("XDG_CONFIG_HOME", scratch.filePath("config"));
        env.insert("PELMORA_METRICS_PROBE_PATH", probePath);
        return env;
    }

    QByteArray once(const QProcessEnvironment &env)
    {
        QProcess once;
        once.setProcessEnvironment(env);
        once.start(PELMORA_BINARY, {"--once"});
        if (!once.waitForFinished(20000) || once.exitStatus() != QProcess::NormalExit || once.exitCode() != 0)
            return "exit code " + QByteArray::number(once.exitCode()) + ": " + once.readAllStandardError();
        return once.readAllStandardOutput();
    }

    static QByteArray contents(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
    }

private slots:
    void unusableProbePaths_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("a directory") << scratch.path();
        QTest::newRow("a full device") << "/dev/full";
        QTest::newRow("a folder that does not exist") << scratch.filePath("missing/trail.log");
        QTest::newRow("an empty path") << "";
        QTest::newRow("a read-only file") << scratch.write("readonly.log", "earlier\n");
    }
    void unusableProbePaths()
    {
        QFETCH(QString, path);
        ::chmod(QFile::encodeName(scratch.filePath("readonly.log")).constData(), 0444);
        const QByteArray out = once(environment(path));
        QVERIFY2(out.startsWith("CPU "), out.constData());
        QVERIFY(!QFile::exists(scratch.filePath("missing")));
        // Root may write past the mode bits; the earlier line survives either way.
        QVERIFY(contents(scratch.filePath("readonly.log")).startsWith("earlier\n"));
    }

    // Broken entries next to a good one, and a running process whose name is not UTF-8.
    void hostileDesktopEntriesAndProcessNames()
    {
        const QByteArray pid = QByteArray::number(QCoreApplication::applicationPid());
        const QByteArray good = "pm-good-" + pid, bad = "pm-\xff\xfe-" + pid;
        QVERIFY(scratch.makeDir("bin"));
        QProcess goodApp, badApp;
        // The shell names the copy, since a QString cannot carry the undecodable bytes.
        const QString copyAndRun = QStringLiteral("f=\"$1/$(printf \"$2\")\"; cp \"$3\" \"$f\" && exec \"$f\" --idle");
        for (auto [process, name] : {std::pair{&goodApp, "pm-good-"}, std::pair{&badApp, "pm-\\377\\376-"}}) {
            process->start("/bin/sh", {"-c", copyAndRun, "sh", scratch.filePath("bin"), name + QString(pid),
                                       PELMORA_BINARY_DIR "/tests/helpers/pelmora_testapp"});
            QVERIFY(process->waitForReadyRead(5000));
        }
        const auto entry = [](const QByteArray &name, const QByteArray &exec) {
            return "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=" + exec + "\n";
        };
        scratch.write("data/applications/good.desktop", entry("Survivor App", good));
        scratch.write("data/applications/bad-utf8.desktop", entry("Bad \xc3\x28 Name \xff", bad));
        scratch.write("data/applications/garbage.desktop", QByteArray("\x00\xff[Desktop Entry\n=\n\x01", 16));
        scratch.write("data/applications/truncated.desktop", "[Desktop Entry]\nType=Appl");
        ::chmod(QFile::encodeName(scratch.write("data/applications/unreadable.desktop", entry("Hidden", "pm-hidden"))).constData(), 0);
        scratch.symlink("data/applications/dangling.desktop", scratch.filePath("nowhere"));
        scratch.symlink("data/applications/loop", scratch.filePath("data/applications"));
        QProcessEnvironment env = environment();
        env.insert("XDG_DATA_DIRS", scratch.filePath("data"));
        env.insert("XDG_DATA_HOME", scratch.filePath("data-home"));
        const QByteArray out = once(env);
        for (QProcess *p : {&goodApp, &badApp}) {
            ::kill(pid_t(p->processId()), SIGKILL);
            p->waitForFinished(5000);
        }
        QProcess::execute("/bin/rm", {"-rf", scratch.filePath("bin")}); // QDir cannot name the undecodable file
        QVERIFY2(out.startsWith("CPU "), out.constData());
        static const QRegularExpression survivor(QStringLiteral("\nSurvivor App +1 "));
        QVERIFY2(QString::fromUtf8(out).contains(survivor), out.constData());
    }

    void nonsenseStoredHeights_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::newRow("text") << QByteArray("tall");
        QTest::newRow("not a number") << QByteArray("nan");
        QTest::newRow("huge") << QByteArray("1e308");
        QTest::newRow("binary") << QByteArray("\x01\xff\xfe\n[broken", 10);
    }
    void nonsenseStoredHeights()
    {
        QFETCH(QByteArray, value);
        const QByteArray stored = "[General]\npopoverHeight=" + value + "\n";
        const QString config = scratch.write("config/pelmora/pelmora.conf", stored);
        QProcess pelmora;
        QProcessEnvironment env = environment();
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
