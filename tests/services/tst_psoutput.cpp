// The ps fallback: its output lines, and the source run against a fake ps.
#include "services/AppPathRule.h"
#include "services/PsOutput.h"
#include "services/PsProcessSource.h"
#include "testsupport/FixtureTree.h"

#include <QFile>
#include <QTest>

#include <unistd.h>

using namespace pelmora;

namespace {

// The registry knows no application, so only the bundle-on-path rule names a process.
const PsAppNameLookup pathRuleOnly = [](qint32, QStringView path) { return appNameFromPath(path); };
const PsAppNameLookup everything = [](qint32, QStringView command) { return std::optional(command.toString()); };

// A stand-in for ps: a script the test writes itself.
std::string fakePs(FixtureTree &tree, const QByteArray &body)
{
    const QString path = tree.write("ps", "#!/bin/sh\n" + body);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path.toStdString();
}

} // namespace

class TestPsOutput : public QObject {
    Q_OBJECT
private slots:
    void parsesLine_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("parsed"); // "pid cpu bytes app|name"; empty: dropped
        QTest::newRow("padded, path with spaces") << "  4242   12.5  20480 /Apps/Tool Box.app/MacOS/Tool Box"
                                                  << "4242 12.5 20971520 Tool Box|Tool Box";
        QTest::newRow("tabs and Unicode spaces trimmed") << QStringLiteral("\t\u00A07 1.0 1 /A.app/x\u2003\t") << "7 1 1024 A|x";
        QTest::newRow("busy, nothing resident") << "5 0.1 0 /A.app/a" << "5 0.1 0 A|a";
        QTest::newRow("signs and exponent") << "+5 1e1 +3 /A.app/a" << "5 10 3072 A|a";
        QTest::newRow("outermost bundle wins") << "9 1 1 /Suite.app/Support/Worker.app/MacOS/Worker" << "9 1 1024 Suite|Worker";
        QTest::newRow("trailing slash") << "5 1 1 /A.app/" << "5 1 1024 A|A.app";
        QTest::newRow("resident KiB saturate") << "5 1 18014398509481984 /A.app/a" << "5 1 18446744073709551615 A|a";
        QTest::newRow("idle and empty") << "5 0.0 0 /A.app/a" << "";
        QTest::newRow("NaN cpu, nothing resident") << "5 nan 0 /A.app/a" << "";
        QTest::newRow("junk after cpu") << "5 1.0x 1 /A.app/a" << "";
        QTest::newRow("Unicode space before cpu") << QStringLiteral("5 \u00A01 1 /A.app/a") << "";
        QTest::newRow("pid overflow") << "2147483648 1 1 /A.app/a" << "";
        QTest::newRow("negative rss") << "5 1 -1 /A.app/a" << "";
        QTest::newRow("rss beyond 64 bits") << "5 1 18446744073709551616 /A.app/a" << "";
        QTest::newRow("upper-case bundle") << "5 1 1 /Tool.APP/x" << "";
        QTest::newRow("no bundle") << "5 1 1 /usr/bin/tool" << "";
    }
    void parsesLine()
    {
        QFETCH(QString, line);
        const std::optional<ProcessMetric> p = parseProcessLine(line, pathRuleOnly);
        const QString got = p ? QStringLiteral("%1 %2 %3 %4|%5").arg(p->id).arg(p->cpuPercent).arg(p->memoryBytes)
                                    .arg(p->appName, p->name)
                              : QString();
        QTEST(got, "parsed");
    }

    void wholeOutput()
    {
        const std::string good = "  1 1.0 10 /A.app/a\n\n  2 0.0 0 /A.app/b\n3 2.0 1 /B.app/c\n";
        const QList<ProcessMetric> ps = parsePsOutput(good, 0, pathRuleOnly);
        QCOMPARE(ps.size(), 2);
        QCOMPARE(ps[0].id, 1);
        QCOMPARE(ps[1].id, 3);
        QVERIFY(parsePsOutput(good, 1, pathRuleOnly).isEmpty()); // failed run, even with lines
        QVERIFY(parsePsOutput(good + "4 1 1 /\xff.app/x\n", 0, pathRuleOnly).isEmpty()); // not UTF-8
        const std::string withNul("5 1 1 /A.app/a\0b\n6 1 1 /B.app/b\n", 30);
        QCOMPARE(parsePsOutput(withNul, 0, pathRuleOnly).size(), 2);
        const std::string longLine = "7 1 1 /A.app/" + std::string(1 << 20, 'x') + "\n";
        QCOMPARE(parsePsOutput(longLine, 0, pathRuleOnly).value(0).name.size(), 1 << 20);

        // The lookup is asked only for lines that can be kept.
        QList<qint32> asked;
        const PsAppNameLookup lookup = [&](qint32 pid, QStringView) -> std::optional<QString> {
            asked << pid;
            return QStringLiteral("N");
        };
        const QList<ProcessMetric> named = parsePsOutput("2 0.0 0 firefox\nx 1 1 firefox\n1 0.5 10 systemd\n", 0, lookup);
        QCOMPARE(asked, QList<qint32>{1});
        QCOMPARE(named.value(0).name, QStringLiteral("systemd"));
    }

    void sourceRunsTheTool()
    {
        FixtureTree tree;
        const QByteArray args = tree.filePath("args").toUtf8();
        const PsProcessSource source(fakePs(tree, "printf '%s\\n' \"$@\" > '" + args
                                                      + "'\necho noise >&2\nprintf ' 1 2.0 3 /A.app/a\\n 4 0.0 0 b\\n'\n"));
        const QList<ProcessMetric> ps = source.read(everything);
        QCOMPARE(ps.size(), 1);
        QCOMPARE(ps.front().id, 1);
        QFile f(args);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("-axo\npid=,pcpu=,rss=,comm=\n"));

        QVERIFY(PsProcessSource(tree.filePath("missing").toStdString()).read(everything).isEmpty());
        QVERIFY(PsProcessSource(fakePs(tree, "echo '1 1.0 1 /A.app/a'\nexit 1\n")).read(everything).isEmpty());
        // Far more than a pipe holds: waiting before reading would block forever.
        const PsProcessSource chatty(
            fakePs(tree, "i=0; while [ $i -lt 20000 ]; do echo \"$i 1.0 1 /C.app/w\"; i=$((i+1)); done\n"));
        QCOMPARE(chatty.read(everything).size(), 20000);

        if (QFile::exists("/bin/ps")) {
            const QList<ProcessMetric> real = PsProcessSource().read(everything);
            QVERIFY(std::any_of(real.cbegin(), real.cend(), [](const ProcessMetric &p) { return p.id == ::getpid(); }));
        }
    }
};

QTEST_GUILESS_MAIN(TestPsOutput)
#include "tst_psoutput.moc"
