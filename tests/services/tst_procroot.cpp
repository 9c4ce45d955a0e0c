// ProcRoot::readFile takes a first read shorter than a page as the whole
// file and only reads on when that read filled its buffer; both paths must
// return exactly the file, cut at the caller's limit.
#include "platform/ProcFs.h"
#include "services/ProcStat.h"
#include "testsupport/FixtureTree.h"

#include <QCoreApplication>
#include <QTest>

#include <unistd.h>

using pelmora::platform::ProcRoot;

namespace {

QByteArray pattern(qsizetype size)
{
    QByteArray text(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        text[i] = char('a' + i % 23);
    return text;
}

} // namespace

class TestProcRoot : public QObject {
    Q_OBJECT
private slots:
    void readsWholeFilesAndCutsAtTheLimit_data()
    {
        QTest::addColumn<qsizetype>("size");
        QTest::addColumn<qsizetype>("maxBytes");
        QTest::newRow("empty") << qsizetype(0) << qsizetype(4096);
        QTest::newRow("short") << qsizetype(300) << qsizetype(4096);
        QTest::newRow("one byte short of a page") << qsizetype(4095) << qsizetype(1 << 20);
        QTest::newRow("exactly a page") << qsizetype(4096) << qsizetype(1 << 20);
        QTest::newRow("one byte over a page") << qsizetype(4097) << qsizetype(1 << 20);
        QTest::newRow("several pages") << qsizetype(70000) << qsizetype(1 << 20);
        QTest::newRow("cut below a page") << qsizetype(5000) << qsizetype(256);
        QTest::newRow("limit equals the file") << qsizetype(256) << qsizetype(256);
        QTest::newRow("cut after a page") << qsizetype(20000) << qsizetype(9000);
        QTest::newRow("limit exactly a page") << qsizetype(20000) << qsizetype(4096);
    }
    void readsWholeFilesAndCutsAtTheLimit()
    {
        QFETCH(qsizetype, size);
        QFETCH(qsizetype, maxBytes);
        FixtureTree tree;
        const QByteArray content = pattern(size);
        tree.write(QStringLiteral("file"), content);
        const ProcRoot root(tree.path().toStdString());

        std::string buffer = "left over from an earlier file";
        QVERIFY(root.readFile("file", buffer, std::size_t(maxBytes)));
        QCOMPARE(QByteArray::fromStdString(buffer), content.left(maxBytes));

        QVERIFY(!root.readFile("missing", buffer, std::size_t(maxBytes)));
        QVERIFY(buffer.empty());
    }

    // The kernel's own files, through the single-read path.
    void readsLiveProcFiles()
    {
        const ProcRoot root("/proc");
        std::string buffer;
        QVERIFY(root.readFile(std::to_string(::getpid()) + "/stat", buffer, 4096));
        const auto stat = pelmora::parseProcStat(buffer);
        QVERIFY(stat);
        QCOMPARE(stat->ppid, std::int32_t(::getppid()));
        QCOMPARE(QByteArray(stat->comm.data(), qsizetype(stat->comm.size())),
                 QCoreApplication::applicationFilePath().section(QLatin1Char('/'), -1).left(15).toUtf8());

        QVERIFY(root.readFile("meminfo", buffer, 64 * 1024));
        QVERIFY(std::string_view(buffer).starts_with("MemTotal:"));
        QVERIFY(std::string_view(buffer).ends_with(" kB\n"));
    }
};

QTEST_GUILESS_MAIN(TestProcRoot)
#include "tst_procroot.moc"
