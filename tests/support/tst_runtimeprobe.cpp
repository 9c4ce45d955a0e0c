#include "support/RuntimeProbe.h"

#include "testsupport/FixtureTree.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <sys/stat.h>

using namespace pelmora;

namespace {

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

} // namespace

class TestRuntimeProbe : public QObject {
    Q_OBJECT
private slots:
    void pathResolution_data()
    {
        QTest::addColumn<bool>("hasVariable");
        QTest::addColumn<QByteArray>("variable");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("expected"); // "<none>" for no path

        const QStringList withFlag{"pelmora", "--metrics-probe", "/tmp/arg.log"};
        QTest::newRow("variable wins") << true << QByteArray("/tmp/env.log") << withFlag << "/tmp/env.log";
        QTest::newRow("empty variable counts as set") << true << QByteArray() << withFlag << "";
        QTest::newRow("argument") << false << QByteArray() << withFlag << "/tmp/arg.log";
        QTest::newRow("flag last: off") << false << QByteArray() << QStringList{"pelmora", "--metrics-probe"}
                                        << "<none>";
        QTest::newRow("first flag counts") << false << QByteArray()
                                           << QStringList{"p", "--metrics-probe", "a", "--metrics-probe", "b"} << "a";
        QTest::newRow("nothing") << false << QByteArray() << QStringList{"pelmora"} << "<none>";
    }
    void pathResolution()
    {
        QFETCH(bool, hasVariable);
        QFETCH(QByteArray, variable);
        QFETCH(QStringList, arguments);
        QFETCH(QString, expected);
        const auto path = RuntimeProbe::resolvePath(hasVariable ? std::optional(variable) : std::nullopt, arguments);
        QCOMPARE(path.value_or(QStringLiteral("<none>")), expected);
    }

    void lineFormat()
    {
        QCOMPARE(RuntimeProbe::formatLine({{"event", "metricsStoreInit"}}),
                 QByteArray("{\"event\":\"metricsStoreInit\"}\n"));
        const RuntimeProbe::Fields snapshot{{"topMemoryCount", "3"}, {"sampledAt", "1764930000.25"},
                                            {"event", "snapshot"},     {"cpuPercent", "0.0"},
                                            {"memoryUsedBytes", "42"}, {"topCPUCount", "3"}};
        QCOMPARE(RuntimeProbe::formatLine(snapshot),
                 QByteArray("{\"cpuPercent\":\"0.0\",\"event\":\"snapshot\",\"memoryUsedBytes\":\"42\","
                            "\"sampledAt\":\"1764930000.25\",\"topCPUCount\":\"3\",\"topMemoryCount\":\"3\"}\n"));
    }

    void numbersRoundTripWithAFractionDigit_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0.0 << "0.0";
        QTest::newRow("half") << 37.5 << "37.5";
        QTest::newRow("hundred") << 100.0 << "100.0";
        QTest::newRow("timestamp") << 1764930000.25 << "1764930000.25";
        QTest::newRow("whole timestamp") << 1764930000.0 << "1764930000.0";
        QTest::newRow("third") << 100.0 / 3.0 << "33.333333333333336";
        QTest::newRow("tiny uses exponent") << 1e-7 << "1e-07";
    }
    void numbersRoundTripWithAFractionDigit()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(RuntimeProbe::formatNumber(value), text);
        QCOMPARE(text.toDouble(), value);
    }

    void createsThenAppendsAndNeverTruncates()
    {
        FixtureTree tree;
        const QString file = tree.filePath("trail.log");
        RuntimeProbe::appendLine(file, "one\n");
        RuntimeProbe::appendLine(file, "two\n");
        QCOMPARE(contents(file), QByteArray("one\ntwo\n"));
        QCOMPARE(QDir(tree.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"trail.log"}); // no temp left

        const QString existing = tree.write("kept.log", "old\n");
        RuntimeProbe::appendLine(existing, "new\n");
        QCOMPARE(contents(existing), QByteArray("old\nnew\n"));
    }

    void failuresAreSilentAndHarmless()
    {
        FixtureTree tree;
        // A directory, a missing folder, a full device: nothing happens, nothing throws.
        tree.makeDir("dir");
        RuntimeProbe::appendLine(tree.filePath("dir"), "x\n");
        QVERIFY(QFileInfo(tree.filePath("dir")).isDir());
        RuntimeProbe::appendLine(tree.filePath("missing/trail.log"), "x\n");
        QVERIFY(!QFileInfo::exists(tree.filePath("missing")));
        RuntimeProbe::appendLine(QStringLiteral("/dev/full"), "x\n");

        // A read-only file keeps its content (as root, permission bits do not stop
        // writes, so only check the content when the write was refused).
        const QString readOnly = tree.write("ro.log", "keep\n");
        ::chmod(QFile::encodeName(readOnly).constData(), 0444);
        RuntimeProbe::appendLine(readOnly, "x\n");
        const QByteArray after = contents(readOnly);
        QVERIFY(after == "keep\n" || (::geteuid() == 0 && after == "keep\nx\n"));
    }
};

QTEST_GUILESS_MAIN(TestRuntimeProbe)
#include "tst_runtimeprobe.moc"
