#include "ProcStatLine.h"
#include "services/ProcStat.h"

#include <QTest>

#include <limits>

using namespace pelmora;

class TestProcStat : public QObject {
    Q_OBJECT
private slots:
    void parsesFieldsAfterLastParenthesis_data()
    {
        QTest::addColumn<QByteArray>("comm");
        QTest::newRow("plain") << QByteArray("bash");
        QTest::newRow("spaces") << QByteArray("Web Content");
        QTest::newRow("closing parenthesis") << QByteArray("a) b");
        QTest::newRow("looks like fields") << QByteArray("x) R 9 9 9 (");
        QTest::newRow("nested parentheses") << QByteArray("(sd-pam)");
        QTest::newRow("opening parenthesis only") << QByteArray("((");
        QTest::newRow("newline") << QByteArray("two\nlines");
        QTest::newRow("empty") << QByteArray();
    }
    void parsesFieldsAfterLastParenthesis()
    {
        QFETCH(QByteArray, comm);
        StatFields f;
        f.pid = 4242;
        f.comm = comm;
        f.state = 'R';
        f.ppid = 77;
        f.flags = 0x00200040;
        f.utime = 1234;
        f.stime = 56;
        f.startTime = 987654321;
        f.rss = "2048";
        const QByteArray text = statLine(f);
        const auto stat = parseProcStat(std::string_view(text.constData(), size_t(text.size())));
        QVERIFY(stat);
        QCOMPARE(QByteArray(stat->comm.data(), qsizetype(stat->comm.size())), comm);
        QCOMPARE(stat->state, 'R');
        QCOMPARE(stat->ppid, 77);
        QCOMPARE(stat->flags, 0x00200040u);
        QVERIFY(stat->isKernelThread());
        QCOMPARE(stat->utimeTicks, 1234u);
        QCOMPARE(stat->stimeTicks, 56u);
        QCOMPARE(stat->startTimeTicks, 987654321u);
        QCOMPARE(stat->rssPages, 2048);
    }

    void edgeValues_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<quint64>("utime");
        QTest::addColumn<qint64>("rss");

        StatFields f;
        const QByteArray full = statLine(f);
        // Offset of field 24 (rss) and of the field after it.
        const qsizetype rssAt = full.indexOf(" 10485760 ") + 10;
        const qsizetype afterRss = full.indexOf(' ', rssAt);

        QTest::newRow("complete") << full << true << quint64(0) << qint64(100);
        QTest::newRow("ends right after rss") << full.left(afterRss) << true << quint64(0) << qint64(100);
        QTest::newRow("cut before rss") << full.left(rssAt - 1) << false << quint64(0) << qint64(0);
        QTest::newRow("cut inside the name") << QByteArray("12 (bas") << false << quint64(0) << qint64(0);
        QTest::newRow("empty") << QByteArray() << false << quint64(0) << qint64(0);
        QTest::newRow("parenthesis reversed") << QByteArray("1 )x( S 1") << false << quint64(0) << qint64(0);

        f.utime = std::numeric_limits<std::uint64_t>::max();
        QTest::newRow("largest utime") << statLine(f) << true << quint64(f.utime) << qint64(100);
        f.utime = 0;
        QByteArray overflow = statLine(f);
        overflow.replace(" 120 0 0 0 0 ", " 120 0 0 0 18446744073709551616 ");
        QTest::newRow("utime beyond 64 bits") << overflow << false << quint64(0) << qint64(0);

        f.rss = "-3";
        QTest::newRow("negative rss") << statLine(f) << true << quint64(0) << qint64(-3);
        f.rss = "12x";
        QTest::newRow("junk in rss") << statLine(f) << false << quint64(0) << qint64(0);
        f.rss = "100";
        f.state = 'S';
        QByteArray longState = statLine(f);
        longState.replace(") S ", ") SS ");
        QTest::newRow("two-letter state") << longState << false << quint64(0) << qint64(0);
        QByteArray negativeFlags = statLine(f);
        negativeFlags.replace(" 4194304 ", " -4194304 ");
        QTest::newRow("negative flags") << negativeFlags << false << quint64(0) << qint64(0);
    }
    void edgeValues()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, ok);
        const auto stat = parseProcStat(std::string_view(text.constData(), size_t(text.size())));
        QCOMPARE(stat.has_value(), ok);
        if (ok) {
            QTEST(quint64(stat->utimeTicks), "utime");
            QTEST(qint64(stat->rssPages), "rss");
            QVERIFY(!stat->isKernelThread());
        }
    }
};

QTEST_APPLESS_MAIN(TestProcStat)
#include "tst_procstat.moc"
