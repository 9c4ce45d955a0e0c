// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/Autostart.h"

#include "testsupport/ProgramRun.h"

#include <QTemporaryDir>
#include <QTest>

using namespace pelmora;
using namespace Qt::StringLiterals;

// `pelmora --autostart <value>` without a display.
static ProgramRun autostartRun(const QString &value, const QString &home, const QString &configHome)
{
    QProcessEnvironment env = environmentWithoutDisplay();
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
        QTest::newRow("space") << "/opt/My Apps/pelmora" << "\"/opt/My Apps/pelmora\"";
        // Inside quotes '$' is escaped as \$, whose backslash the string value escapes again.
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

    // Unset or relative XDG_CONFIG_HOME (which the XDG rules ignore) mean ~/.config.
    void onWritesAndOffRemovesTheEntry_data()
    {
        QTest::addColumn<QString>("configHome");
        QTest::addColumn<QString>("folder"); // both relative to HOME
        QTest::newRow("given") << "config" << "config/autostart";
        QTest::newRow("unset") << QString() << ".config/autostart";
        QTest::newRow("relative") << "relative/config" << ".config/autostart";
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
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        // The build tree's program is not on PATH: the entry names it by path.
        const QString program = QFileInfo(QStringLiteral(PELMORA_BINARY)).canonicalFilePath();
        QVERIFY(QString::fromUtf8(file.readAll()).split(u'\n').contains(u"Exec="_s + autostart::execArgument(program)));
        // Again: replaced, not duplicated. Off removes it; already off is no error.
        QCOMPARE(autostartRun(u"on"_s, home.path(), configHome).exitCode, 0);
        QCOMPARE(QDir(home.filePath(folder)).entryList(QDir::Files | QDir::Hidden), QStringList{u"pelmora.desktop"_s});
        QCOMPARE(autostartRun(u"off"_s, home.path(), configHome).exitCode, 0);
        QVERIFY(!QFile::exists(path));
        QCOMPARE(autostartRun(u"off"_s, home.path(), configHome).exitCode, 0);
    }

    void failuresAreReported()
    {
        QTemporaryDir home;
        QFile blocker(home.filePath(u"config"_s)); // a file where the folder should be
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        for (const auto &[value, message] : {std::pair{"yes", "on or off"}, std::pair{"on", "pelmora: cannot"}}) {
            const auto [code, out] = autostartRun(QLatin1String(value), home.path(), blocker.fileName());
            QCOMPARE(code, 1);
            QVERIFY2(out.contains(QLatin1String(message)), qPrintable(out));
        }
    }
};

QTEST_GUILESS_MAIN(TestAutostart)
#include "tst_autostart.moc"
