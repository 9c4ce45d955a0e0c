// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/Autostart.h"

#include "testsupport/FixtureTree.h"
#include "testsupport/ProgramRun.h"

#include <QTemporaryDir>
#include <QTest>

using namespace pelmora;
using namespace Qt::StringLiterals;

// `pelmora --autostart <value>` without a display.
static ProgramRun autostartRun(const QString &value, const QString &home, const QString &configHome,
                               const QString &language = u"C.UTF-8"_s)
{
    QProcessEnvironment env = environmentWithoutDisplay();
    env.remove(u"LANGUAGE"_s);
    env.insert(u"LC_ALL"_s, language);
    env.insert(u"HOME"_s, home);
    configHome.isNull() ? env.remove(u"XDG_CONFIG_HOME"_s) : env.insert(u"XDG_CONFIG_HOME"_s, configHome);
    return runProgram(QStringLiteral(PELMORA_BINARY), {u"--autostart"_s, value}, env);
}

class TestAutostart : public QObject {
    Q_OBJECT

private slots:
    void execArgumentQuotesAndEscapes_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("expected");
        QTest::newRow("space") << u"/opt/My Apps/pelmora"_s << u"\"/opt/My Apps/pelmora\""_s;
        // Inside quotes '$' is escaped as \$, whose backslash the string value escapes again.
        QTest::newRow("dollar") << u"/opt/a$b/pelmora"_s << u"\"/opt/a\\\\$b/pelmora\""_s;
        QTest::newRow("quote and backslash") << u"/opt/\"x\\y/pelmora"_s << u"\"/opt/\\\\\"x\\\\\\\\y/pelmora\""_s;
        QTest::newRow("percent") << u"/opt/100%/pelmora"_s << u"/opt/100%%/pelmora"_s;
    }
    void execArgumentQuotesAndEscapes()
    {
        QFETCH(QString, program);
        QTEST(autostart::execArgument(program), "expected");
    }

    // Unset or relative XDG_CONFIG_HOME (which the XDG rules ignore) mean ~/.config.
    void onWritesAndOffRemovesTheEntry_data()
    {
        QTest::addColumn<QString>("configHome");
        QTest::addColumn<QString>("folder"); // both relative to HOME
        QTest::newRow("given") << u"config"_s << u"config/autostart"_s;
        QTest::newRow("unset") << QString() << u".config/autostart"_s;
        QTest::newRow("relative") << u"relative/config"_s << u".config/autostart"_s;
    }
    void onWritesAndOffRemovesTheEntry()
    {
        QFETCH(QString, configHome);
        QFETCH(QString, folder);
        QTemporaryDir home;
        if (configHome == u"config")
            configHome = home.filePath(configHome);
        const QString path = home.filePath(folder + u"/pelmora.desktop"_s);
        QCOMPARE(autostartRun(u"on"_s, home.path(), configHome).exitCode, 0);
        // The build tree's program is not on PATH: the entry names it by path.
        const QString program = QFileInfo(QStringLiteral(PELMORA_BINARY)).canonicalFilePath();
        QVERIFY(
            QString::fromUtf8(fileContents(path)).split(u'\n').contains(u"Exec="_s + autostart::execArgument(program)));
        // Again: replaced, not duplicated. Off removes it; already off is no
        // error, and says there was nothing to remove.
        QCOMPARE(autostartRun(u"on"_s, home.path(), configHome).exitCode, 0);
        QCOMPARE(QDir(home.filePath(folder)).entryList(QDir::Files | QDir::Hidden), QStringList{u"pelmora.desktop"_s});
        const ProgramRun removed = autostartRun(u"off"_s, home.path(), configHome);
        QCOMPARE(removed.exitCode, 0);
        QVERIFY(!QFile::exists(path));
        for (const auto &[language, said] :
             {std::pair{u"C.UTF-8"_s, u"there was nothing to remove (%1 does not exist)"_s},
              std::pair{u"de_DE.UTF-8"_s, u"es gab nichts zu entfernen (%1 existiert nicht)"_s}}) {
            const ProgramRun again = autostartRun(u"off"_s, home.path(), configHome, language);
            QCOMPARE(again.exitCode, 0);
            QVERIFY2(again.output.contains(said.arg(path)) && !again.output.contains(u"removed"),
                     qPrintable(again.output));
        }
        QVERIFY(removed.output.contains(u"removed"));
    }

    // A file where the folder should be, and an autostart folder that is a
    // symbolic link (written through, it could put the entry anywhere).
    void failuresAreReported()
    {
        QTemporaryDir home;
        QFile blocker(home.filePath(u"config"_s));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        QVERIFY(QDir(home.path()).mkpath(u"linked/elsewhere"_s)
                && QFile::link(home.filePath(u"linked/elsewhere"_s), home.filePath(u"linked/autostart"_s)));
        for (const auto &[value, config, message] :
             {std::tuple{"yes", "config", "on or off"}, std::tuple{"on", "config", "pelmora: cannot write"},
              std::tuple{"on", "linked", "autostart is a symbolic link"},
              std::tuple{"off", "linked", "autostart is a symbolic link"}}) {
            const auto [code, out] = autostartRun(QLatin1String(value), home.path(),
                                                  home.filePath(QLatin1String(config)));
            QCOMPARE(code, 1);
            QVERIFY2(out.contains(QLatin1String(message)), qPrintable(out));
        }
        QVERIFY(QDir(home.filePath(u"linked/elsewhere"_s)).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestAutostart)
#include "tst_autostart.moc"
