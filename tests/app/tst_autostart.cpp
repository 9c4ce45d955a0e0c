#include "app/Autostart.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace pelmora;

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

// The real program, without a display, in an environment of our choosing.
Run runPelmora(const QStringList &arguments, const QProcessEnvironment &environment)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(PELMORA_BINARY), arguments);
    Run run;
    if (!process.waitForFinished(30000))
        return run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QProcessEnvironment withoutDisplay(const QString &home, const QString &configHome)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_CONFIG_HOME"})
        env.remove(QLatin1String(name));
    env.insert(QStringLiteral("HOME"), home);
    if (!configHome.isNull())
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    return env;
}

QString valueOf(const QByteArray &entry, const QString &key)
{
    for (const QString &line : QString::fromUtf8(entry).split(u'\n')) {
        if (line.startsWith(key + u'='))
            return line.mid(key.size() + 1);
    }
    return {};
}

// desktop-file-validate (desktop-file-utils) when installed; "" when it passes.
QString validatorComplaints(const QString &path)
{
    const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (validator.isEmpty())
        return {};
    QProcess process;
    process.start(validator, {path});
    process.waitForFinished(30000);
    const QString output = QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
    return process.exitCode() == 0 && output.trimmed().isEmpty() ? QString() : output;
}

} // namespace

class TestAutostart : public QObject {
    Q_OBJECT

private slots:
    void execArgumentQuotesAndEscapes_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("expected");
        QTest::newRow("name on PATH") << "pelmora" << "pelmora";
        QTest::newRow("plain path") << "/usr/local/bin/pelmora" << "/usr/local/bin/pelmora";
        QTest::newRow("space") << "/opt/My Apps/pelmora" << "\"/opt/My Apps/pelmora\"";
        // Inside quotes '$' is escaped as \$, whose backslash the string value
        // escapes again; '%' is a field code unless doubled.
        QTest::newRow("dollar") << "/opt/a$b/pelmora" << "\"/opt/a\\\\$b/pelmora\"";
        QTest::newRow("quote and backslash") << "/opt/\"x\\y/pelmora" << "\"/opt/\\\\\"x\\\\\\\\y/pelmora\"";
        QTest::newRow("percent") << "/opt/100%/pelmora" << "/opt/100%%/pelmora";
    }
    void execArgumentQuotesAndEscapes()
    {
        QFETCH(QString, program);
        QFETCH(QString, expected);
        QCOMPARE(autostart::execArgument(program), expected);
    }

    void entryIsAValidDesktopEntry()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("pelmora.desktop"));
        for (const QString &program : {QStringLiteral("pelmora"), QStringLiteral("/opt/My $Apps 100%/pel\"mora")}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(autostart::entry(program));
            file.close();
            const QString complaints = validatorComplaints(path);
            QVERIFY2(complaints.isEmpty(), qPrintable(program + u'\n' + complaints));
        }
    }

    void onWritesAndOffRemovesTheEntry()
    {
        QTemporaryDir home;
        const QString config = home.filePath(QStringLiteral("config"));
        const QString path = config + QStringLiteral("/autostart/pelmora.desktop");
        const QProcessEnvironment env = withoutDisplay(home.path(), config);

        Run run = runPelmora({QStringLiteral("--autostart"), QStringLiteral("on")}, env);
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.out.contains(path), qPrintable(run.out));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray entry = file.readAll();
        file.close();
        // The build tree's program is not on PATH: the entry names it by path.
        QCOMPARE(valueOf(entry, QStringLiteral("Exec")),
                 autostart::execArgument(QFileInfo(QStringLiteral(PELMORA_BINARY)).canonicalFilePath()));
        QCOMPARE(valueOf(entry, QStringLiteral("Type")), u"Application");

        // Again: replaced, not duplicated; nothing else left in the folder.
        QCOMPARE(runPelmora({QStringLiteral("--autostart"), QStringLiteral("on")}, env).exitCode, 0);
        QCOMPARE(QDir(config + QStringLiteral("/autostart")).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("pelmora.desktop")});

        QCOMPARE(runPelmora({QStringLiteral("--autostart"), QStringLiteral("off")}, env).exitCode, 0);
        QVERIFY(!QFile::exists(path));
        // Already off is not an error.
        QCOMPARE(runPelmora({QStringLiteral("--autostart=off")}, env).exitCode, 0);
    }

    void defaultsToDotConfigAndRejectsOtherValues()
    {
        QTemporaryDir home;
        // Unset, and relative (which the XDG rules ignore), both mean ~/.config.
        for (const QString &configHome : {QString(), QStringLiteral("relative/config")}) {
            const QProcessEnvironment env = withoutDisplay(home.path(), configHome);
            QCOMPARE(runPelmora({QStringLiteral("--autostart"), QStringLiteral("on")}, env).exitCode, 0);
            QVERIFY(QFile::exists(home.filePath(QStringLiteral(".config/autostart/pelmora.desktop"))));
            QCOMPARE(runPelmora({QStringLiteral("--autostart"), QStringLiteral("off")}, env).exitCode, 0);
            QVERIFY(!QFile::exists(home.filePath(QStringLiteral(".config/autostart/pelmora.desktop"))));
        }

        const QProcessEnvironment env = withoutDisplay(home.path(), QString());
        const Run bad = runPelmora({QStringLiteral("--autostart"), QStringLiteral("yes")}, env);
        QCOMPARE(bad.exitCode, 1);
        QVERIFY(bad.err.contains(u"on or off"));
        QVERIFY(!QFile::exists(home.filePath(QStringLiteral(".config/autostart/pelmora.desktop"))));
    }

    void failureToWriteIsReported()
    {
        QTemporaryDir home;
        // A file where the folder should be.
        QFile blocker(home.filePath(QStringLiteral("config")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const Run run = runPelmora({QStringLiteral("--autostart"), QStringLiteral("on")},
                                withoutDisplay(home.path(), blocker.fileName()));
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.startsWith(u"pelmora: cannot"), qPrintable(run.err));
    }
};

QTEST_GUILESS_MAIN(TestAutostart)
#include "tst_autostart.moc"
