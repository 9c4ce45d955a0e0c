// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The real binary on the real /proc, without a display: its command line,
// what --once lists among broken desktop entries, a process whose name is
// not UTF-8, a launcher that execs the application after the first sample
// and a name full of terminal escapes, and the trail it writes; probe paths
// it must not write, and the trail of a running --window program whose
// settings are nonsense (and stay untouched). The helper processes are copies under names of their own,
// stopped by pid.
#include "testsupport/FixtureTree.h"
#include "testsupport/ProgramRun.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTest>

#include <csignal>
#include <sys/stat.h>

namespace {
const QString appName = QStringLiteral("Pelmora Test App");
// C0 (escape, line feed, carriage return), DEL, C1 (CSI), a right-to-left
// override and a right-to-left isolate, in a desktop entry's Name (where \n
// and \r are escapes of the format).
const QByteArray hostileName = "E\x1b[31mR\\nF\\r\x7f\xc2\x9b\xe2\x80\xae"
                               "exe.txt\xe2\x81\xa7Z";
const QString hostileShown = QStringLiteral("E?[31mR?F????exe.txt?Z");

// Whether a text holds anything but printable characters and line feeds.
bool drivesTheTerminal(const QString &text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != u'\n') || (u >= 0x7f && u <= 0x9f) || (u >= 0x2028 && u <= 0x202e)
            || (u >= 0x2066 && u <= 0x2069) || u == 0x200e || u == 0x200f || u == 0x061c)
            return true;
    }
    return false;
}
} // namespace

class TestCoreEndToEnd : public QObject {
    Q_OBJECT

    FixtureTree scratch;
    QString helper; // pm-core-PID in scratch/bin, named in the good desktop entry
    QString hostileHelper; // pm-esc-PID, named in the entry whose name is full of escapes

    QProcessEnvironment environment(const QString &probePath = {}) const
    {
        QProcessEnvironment env = environmentWithoutDisplay();
        for (const char *name : {"LC_ALL", "PELMORA_METRICS_PROBE_PATH", "PELMORA_PROCESS_SOURCE"})
            env.remove(QLatin1String(name));
        env.insert("LANG", "C.UTF-8");
        env.insert("XDG_CONFIG_HOME", scratch.filePath("config"));
        env.insert("XDG_DATA_HOME", scratch.filePath("data-home"));
        env.insert("XDG_DATA_DIRS", scratch.filePath("data"));
        if (!probePath.isEmpty())
            env.insert("PELMORA_METRICS_PROBE_PATH", probePath);
        return env;
    }

    static ProgramRun run(const QStringList &arguments, const QProcessEnvironment &env)
    {
        return runProgram(PELMORA_BINARY, arguments, env, 20000);
    }

private slots:
    // A good entry for the helper next to broken ones: bad UTF-8, garbage,
    // truncated, unreadable, a dangling link and a link loop.
    void initTestCase()
    {
        const QByteArray program = "pm-core-" + QByteArray::number(QCoreApplication::applicationPid());
        helper = scratch.filePath("bin/" + program);
        QVERIFY(scratch.makeDir("bin") && QFile::copy(PELMORA_BINARY_DIR "/tests/helpers/pelmora_testapp", helper));
        scratch.write("data/applications/org.pelmora.TestApp.desktop",
                      desktopEntry(appName.toUtf8(), program + " --idle"));
        const QByteArray hostileProgram = "pm-esc-" + QByteArray::number(QCoreApplication::applicationPid());
        hostileHelper = scratch.filePath("bin/" + hostileProgram);
        QVERIFY(QFile::copy(helper, hostileHelper));
        scratch.write("data/applications/hostile.desktop", desktopEntry(hostileName, hostileProgram));
        scratch.write("data/applications/bad-utf8.desktop", desktopEntry("Bad \xc3\x28 Name \xff", "pm-\xff\xfe"));
        scratch.write("data/applications/garbage.desktop", QByteArray("\x00\xff[Desktop Entry\n=\n\x01", 16));
        scratch.write("data/applications/truncated.desktop", "[Desktop Entry]\nType=Appl");
        const QString unreadable = scratch.write("data/applications/unreadable.desktop",
                                                 desktopEntry("Hidden", "pm-hidden"));
        ::chmod(QFile::encodeName(unreadable).constData(), 0);
        scratch.symlink("data/applications/dangling.desktop", scratch.filePath("nowhere"));
        scratch.symlink("data/applications/loop", scratch.filePath("data/applications"));
    }

    void cleanupTestCase()
    {
        QProcess::execute("/bin/rm", {"-rf", scratch.filePath("bin")}); // QDir cannot name the undecodable file
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("expected"); // in standard output or error
        QTest::newRow("version") << QStringList{"--version"} << 0 << "pelmora ";
        QTest::newRow("no display") << QStringList{} << 2 << "no display found";
        // The probe option with nothing after it: the program runs, without a trail.
        QTest::newRow("--metrics-probe last") << QStringList{"--metrics-probe"} << 2 << "no display found";
        QTest::newRow("--once --metrics-probe") << QStringList{"--once", "--metrics-probe"} << 0 << "CPU ";
        QTest::newRow("unknown option") << QStringList{"--nonsense"} << 1 << "nonsense";
    }
    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, expected);
        const auto [code, output] = run(arguments, environment());
        QCOMPARE(code, exitCode);
        QVERIFY2(output.contains(expected), qPrintable(output));
    }

    // --once lists the application with both of its processes, their CPU and
    // memory, next to the broken entries and a process named "pm-\xff\xfe".
    // One of the two starts as a launcher shell that execs the application
    // only once the first sample is in the trail (given as --metrics-probe=):
    // the second sample finds it. A name full of escapes, line breaks and
    // direction controls shows every one as '?', in one row of its own.
    void onceSeesTheApplication()
    {
        const QString trail = scratch.filePath("once.trail");
        QProcess busy, launcher, undecodable, hostile;
        busy.start(helper, {"--busy"});
        hostile.start(hostileHelper, {"--idle"});
        // The shell names the copy, since a QString cannot carry the undecodable bytes.
        undecodable.start("/bin/sh",
                          {"-c", "f=\"$1/$(printf 'pm-\\377\\376')\"; cp \"$2\" \"$f\" && exec \"$f\" --idle", "sh",
                           scratch.filePath("bin"), helper});
        for (QProcess *p : {&busy, &undecodable, &hostile})
            QVERIFY(p->waitForReadyRead(5000));
        launcher.start(
            "/bin/sh",
            {"-c", "until grep -qs snapshot \"$1\"; do sleep 0.01; done; exec \"$2\" --idle", "sh", trail, helper});
        QVERIFY(launcher.waitForStarted(5000));
        const auto [code, out] = run({"--metrics-probe=" + trail, "--once"}, environment());
        const bool launched = launcher.waitForReadyRead(5000); // "ready" from the application it became
        for (QProcess *p : {&busy, &launcher, &undecodable, &hostile}) {
            ::kill(pid_t(p->processId()), SIGKILL);
            p->waitForFinished(5000);
        }
        QVERIFY(launched);
        const qsizetype at = out.indexOf("\n" + appName);
        QVERIFY2(code == 0 && out.startsWith("CPU ") && at > 0, qPrintable(out));
        // Processes, %CPU, memory: "2  98%  1.4 MB".
        const QStringList columns = out.mid(at + appName.size() + 1).section('\n', 0, 0).split(' ', Qt::SkipEmptyParts);
        QCOMPARE(columns.value(0), "2");
        QVERIFY2(columns.value(1).chopped(1).toDouble() >= 10.0, qPrintable(out)); // one spins the whole second
        QVERIFY2(columns.value(2).toDouble() > 0 && columns.value(3).endsWith("B"), qPrintable(out));

        QVERIFY2(!drivesTheTerminal(out), qPrintable(out));
        const QStringList lines = out.split('\n').filter(hostileShown);
        QVERIFY2(lines.size() == 1, qPrintable(out));
        QVERIFY2(lines.first().startsWith(hostileShown + ' '), qPrintable(out));
        QCOMPARE(lines.first().sliced(hostileShown.size()).split(' ', Qt::SkipEmptyParts).size(), 4);

        // Two refreshes, and the empty rest after the last line feed; the numbers are plain decimals.
        const QList<QByteArray> written = fileContents(trail).split('\n');
        QCOMPARE(written.size(), 11);
        const QJsonObject snapshot = QJsonDocument::fromJson(written.at(9)).object();
        QCOMPARE(snapshot.value("event").toString(), "snapshot");
        for (const char *key : {"cpuPercent", "sampledAt"})
            QVERIFY2(QRegularExpression("^[0-9]+\\.[0-9]+$").match(snapshot.value(key).toString()).hasMatch(),
                     written.at(9).constData());
        struct stat st { };
        QVERIFY(::stat(QFile::encodeName(trail).constData(), &st) == 0 && (st.st_mode & 0777) == 0600);
    }

    // Paths the trail must not be written to: the program runs on, and
    // nothing behind a link or in a read-only file changes.
    void unusableProbePaths_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("refused"); // said once on stderr, or dropped silently
        QTest::newRow("a directory") << scratch.path() << true;
        QTest::newRow("a folder that does not exist") << scratch.filePath("missing/trail.log") << false;
        QTest::newRow("a read-only file") << scratch.write("readonly.log", "earlier\n") << false;
        scratch.symlink("planted.log", scratch.write("victim/target.log", "earlier\n"));
        QTest::newRow("a symbolic link to a file") << scratch.filePath("planted.log") << true;
        scratch.symlink("dangling.log", scratch.filePath("victim/new.log"));
        QTest::newRow("a dangling symbolic link") << scratch.filePath("dangling.log") << true;
        ::mkfifo(QFile::encodeName(scratch.filePath("unread.fifo")).constData(), 0600);
        QTest::newRow("a FIFO nobody reads") << scratch.filePath("unread.fifo") << false;
    }
    void unusableProbePaths()
    {
        QFETCH(QString, path);
        QFETCH(bool, refused);
        ::chmod(QFile::encodeName(scratch.filePath("readonly.log")).constData(), 0444);
        const auto [code, out] = run({"--once"}, environment(path));
        QVERIFY2(code == 0 && out.startsWith("CPU "), qPrintable(out));
        QCOMPARE(out.count("pelmora: the diagnostic trail is off: "), refused ? 1 : 0);
        QVERIFY(!QFile::exists(scratch.filePath("missing")));
        // Root may write past the mode bits; the earlier line survives either way.
        QVERIFY(fileContents(scratch.filePath("readonly.log")).startsWith("earlier\n"));
        QCOMPARE(fileContents(scratch.filePath("victim/target.log")), "earlier\n");
        QVERIFY(!QFile::exists(scratch.filePath("victim/new.log")));
    }

    // A huge stored height and garbage lines: it keeps running, and only a
    // drag writes the height. The trail is given as "--metrics-probe PATH".
    void probeTrailOfARunningProgram()
    {
        const QByteArray stored = "[General]\npopoverHeight=1e308\n\x01\xff\xfe=\n[broken";
        const QString config = scratch.write("config/pelmora/pelmora.conf", stored);
        const QString trail = scratch.filePath("trail.log");
        QProcess pelmora;
        QProcessEnvironment env = environment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        pelmora.setProcessEnvironment(env);
        pelmora.start(PELMORA_BINARY, {"--window", "--metrics-probe", trail});
        QVERIFY(pelmora.waitForStarted(5000));
        QByteArray text;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                QFile f(trail);
                return f.open(QIODevice::ReadOnly) && (text = f.readAll()).count('\n') >= 6;
            }(),
            10000);
        QCOMPARE(pelmora.state(), QProcess::Running);
        ::kill(pid_t(pelmora.processId()), SIGTERM);
        QVERIFY(pelmora.waitForFinished(5000));
        QCOMPARE(fileContents(config), stored);

        const QList<QByteArray> lines = text.split('\n');
        const QStringList expected{"metricsStoreInit",  "metricsStoreStart",  "refreshBegin",
                                   "systemMetricsRead", "processMetricsRead", "snapshot"};
        for (int i = 0; i < expected.size(); ++i)
            QCOMPARE(QJsonDocument::fromJson(lines.at(i)).object().value("event").toString(), expected.at(i));
        // Figures of this machine, in the trail's text form.
        const QJsonObject snapshot = QJsonDocument::fromJson(lines.at(5)).object();
        QCOMPARE(snapshot.value("cpuPercent").toString(), "0.0"); // no earlier reading to compare with
        QVERIFY2(snapshot.value("memoryUsedBytes").toString().toULongLong() > 0, lines.at(5).constData());
        QVERIFY2(snapshot.value("sampledAt").toString().toDouble() > 1.7e9, lines.at(5).constData());
    }
};

QTEST_GUILESS_MAIN(TestCoreEndToEnd)
#include "tst_core.moc"
