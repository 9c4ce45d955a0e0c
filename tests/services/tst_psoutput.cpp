#include "services/AppPathRule.h"
#include "services/PsOutput.h"

#include <QTest>

using namespace pelmora;

namespace {

// The registry knows no application, so only the bundle-on-path rule names a process.
const PsAppNameLookup pathRuleOnly = [](qint32, QStringView path) { return appNameFromPath(path); };

} // namespace

class TestPsOutput : public QObject {
    Q_OBJECT
private slots:
    void parsesLine_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("kept");
        QTest::addColumn<int>("pid");
        QTest::addColumn<double>("cpu");
        QTest::addColumn<quint64>("bytes");
        QTest::addColumn<QString>("appName");
        QTest::addColumn<QString>("name");

        const QString toolBox = QStringLiteral("/Applications/Tool Box.app/Contents/MacOS/Tool Box");
        QTest::newRow("padded columns, path with spaces")
            << QStringLiteral("  4242   12.5  20480 ") + toolBox << true << 4242 << 12.5 << quint64(20971520)
            << "Tool Box" << "Tool Box";
        QTest::newRow("tabs trimmed") << "\t7 1.0 1 /A.app/x\t" << true << 7 << 1.0 << quint64(1024) << "A" << "x";
        QTest::newRow("idle but resident") << "5 0.0 1 /A.app/a" << true << 5 << 0.0 << quint64(1024) << "A" << "a";
        QTest::newRow("busy, nothing resident") << "5 0.1 0 /A.app/a" << true << 5 << 0.1 << quint64(0) << "A" << "a";
        QTest::newRow("signs accepted") << "+5 +2 +3 /A.app/a" << true << 5 << 2.0 << quint64(3072) << "A" << "a";
        QTest::newRow("exponent cpu") << "5 1e1 1 /A.app/a" << true << 5 << 10.0 << quint64(1024) << "A" << "a";
        QTest::newRow("outermost bundle wins")
            << "9 1 1 /Applications/Suite.app/Contents/Support/Suite Worker.app/Contents/MacOS/Suite Worker" << true
            << 9 << 1.0 << quint64(1024) << "Suite" << "Suite Worker";
        QTest::newRow("extra spaces stay in the path") << "5 1 1  /A.app/a" << true << 5 << 1.0 << quint64(1024)
                                                       << "A" << "a";
        QTest::newRow("trailing slash") << "5 1 1 /A.app/" << true << 5 << 1.0 << quint64(1024) << "A" << "A.app";

        QTest::newRow("idle and empty dropped") << "5 0.0 0 /A.app/a" << false << 0 << 0.0 << quint64(0) << "" << "";
        QTest::newRow("three pieces") << "5 1.0 1" << false << 0 << 0.0 << quint64(0) << "" << "";
        QTest::newRow("comma decimal") << "5 1,5 1 /A.app/a" << false << 0 << 0.0 << quint64(0) << "" << "";
        QTest::newRow("pid overflow") << "2147483648 1 1 /A.app/a" << false << 0 << 0.0 << quint64(0) << "" << "";
        QTest::newRow("pid with junk") << "5x 1 1 /A.app/a" << false << 0 << 0.0 << quint64(0) << "" << "";
        QTest::newRow("negative rss") << "5 1 -1 /A.app/a" << false << 0 << 0.0 << quint64(0) << "" << "";
        QTest::newRow("rss overflow") << "5 1 18446744073709551616 /A.app/a" << false << 0 << 0.0 << quint64(0)
                                      << "" << "";
        QTest::newRow("cpu with space prefix") << "5 1.0x 1 /A.app/a" << false << 0 << 0.0 << quint64(0) << ""
                                               << "";
        QTest::newRow("upper-case bundle") << "5 1 1 /Tool.APP/x" << false << 0 << 0.0 << quint64(0) << "" << "";
        QTest::newRow("bare .app first") << "5 1 1 /.app/B.app/x" << false << 0 << 0.0 << quint64(0) << "" << "";
        QTest::newRow("no bundle") << "5 1 1 /usr/bin/tool" << false << 0 << 0.0 << quint64(0) << "" << "";
        QTest::newRow("NaN cpu, nothing resident") << "5 nan 0 /A.app/a" << false << 0 << 0.0 << quint64(0) << ""
                                                   << "";
    }
    void parsesLine()
    {
        QFETCH(QString, line);
        QFETCH(bool, kept);
        const std::optional<ProcessMetric> p = parseProcessLine(line, pathRuleOnly);
        QCOMPARE(p.has_value(), kept);
        if (!kept)
            return;
        QTEST(int(p->id), "pid");
        QTEST(p->cpuPercent, "cpu");
        QTEST(p->memoryBytes, "bytes");
        QTEST(p->appName, "appName");
        QTEST(p->name, "name");
    }

    void lookupOnlyForLinesThatCanBeKept()
    {
        int calls = 0;
        const PsAppNameLookup counting = [&](qint32 pid, QStringView) -> std::optional<QString> {
            ++calls;
            return pid == 1 ? std::optional<QString>(QStringLiteral("Named")) : std::nullopt;
        };
        QVERIFY(!parseProcessLine(u"2 0.0 0 firefox", counting));
        QVERIFY(!parseProcessLine(u"x 1 1 firefox", counting));
        QCOMPARE(calls, 0);
        const auto named = parseProcessLine(u"1 0.5 10 systemd", counting);
        QCOMPARE(calls, 1);
        QVERIFY(named);
        QCOMPARE(named->appName, QStringLiteral("Named"));
        QCOMPARE(named->name, QStringLiteral("systemd")); // a Linux comm is its own last component
        QVERIFY(!parseProcessLine(u"3 0.5 10 kworker", counting));
    }

    void wholeOutput()
    {
        const std::string good = "  1 1.0 10 /A.app/a\n\n  2 0.0 0 /A.app/b\n3 2.0 1 /B.app/c\n";
        const QList<ProcessMetric> ps = parsePsOutput(good, 0, pathRuleOnly);
        QCOMPARE(ps.size(), 2);
        QCOMPARE(ps[0].id, 1);
        QCOMPARE(ps[1].id, 3);

        QVERIFY(parsePsOutput(good, 1, pathRuleOnly).isEmpty());           // failed run, even with lines
        QVERIFY(parsePsOutput("", 0, pathRuleOnly).isEmpty());
        QVERIFY(parsePsOutput(good + "4 1 1 /\xff.app/x\n", 0, pathRuleOnly).isEmpty()); // not UTF-8
        const std::string withNul("5 1 1 /A.app/a\0b\n6 1 1 /B.app/b\n", 30);
        QCOMPARE(parsePsOutput(withNul, 0, pathRuleOnly).size(), 2);
        const std::string longLine = "7 1 1 /A.app/" + std::string(1 << 20, 'x') + "\n";
        QCOMPARE(parsePsOutput(longLine, 0, pathRuleOnly).value(0).name.size(), 1 << 20);
    }

    void pathComponents_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("last");
        QTest::newRow("plain") << "/usr/bin/tool" << "tool";
        QTest::newRow("trailing slashes") << "/a/b//" << "b";
        QTest::newRow("root") << "/" << "/";
        QTest::newRow("bare name") << "firefox-esr" << "firefox-esr";
        QTest::newRow("empty") << "" << "";
    }
    void pathComponents()
    {
        QFETCH(QString, path);
        QTEST(lastPathComponent(path), "last");
    }
};

QTEST_GUILESS_MAIN(TestPsOutput)
#include "tst_psoutput.moc"
