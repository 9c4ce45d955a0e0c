#include "support/MetricFormatters.h"

#include <QLocale>
#include <QTest>

using namespace pelmora;

class TestFormatters : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // The shared formatters read the locale once; pin it before first use.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    void percent_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("tie to even down") << 12.5 << "12%";
        QTest::newRow("tie to even up") << 13.5 << "14%";
        QTest::newRow("small") << 0.4 << "0%";
        QTest::newRow("hundred") << 100.0 << "100%";
        QTest::newRow("no grouping") << 12345.0 << "12345%";
    }
    void percent()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(formattedPercent(value), text);
    }

    void processCPU_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0.0 << "0%";
        QTest::newRow("negative zero") << -0.0 << "0%";
        QTest::newRow("one") << 1.0 << "1%";
        QTest::newRow("many cores") << 150.0 << "150%";
        QTest::newRow("half") << 0.5 << "0.5%";
        QTest::newRow("tiny keeps one digit") << 0.01 << "0.0%";
        QTest::newRow("chosen by raw value") << 0.96 << "1.0%";
        QTest::newRow("tie to even in fraction") << 0.25 << "0.2%";
        QTest::newRow("negative") << -3.0 << "-3%";
    }
    void processCPU()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(formattedProcessCPU(value), text);
    }

    void bytes_data()
    {
        QTest::addColumn<quint64>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << quint64(0) << "0 MB";
        QTest::newRow("one byte") << quint64(1) << "0 MB";
        QTest::newRow("1.5 MB to even") << quint64(1572864) << "2 MB";
        QTest::newRow("2.5 MB to even") << quint64(2621440) << "2 MB";
        QTest::newRow("just below GiB") << quint64(1073741823) << "1024 MB";
        QTest::newRow("one GiB") << quint64(1073741824) << "1.0 GB";
        QTest::newRow("1.5 GiB") << quint64(1610612736) << "1.5 GB";
        QTest::newRow("TiB stays GB") << (quint64(1) << 40) << "1024.0 GB";
    }
    void bytes()
    {
        QFETCH(quint64, bytes);
        QFETCH(QString, text);
        QCOMPARE(formattedBytes(bytes), text);
    }

    void germanUsesDecimalCommaWithoutGrouping()
    {
        const NumberFormatter oneDigit(NumberFormatter::icuLocaleFor(QStringLiteral("de_DE")), 1, 1);
        QCOMPARE(oneDigit.format(1234567.25).value_or(QString()), QStringLiteral("1234567,2"));
        QCOMPARE(oneDigit.format(0.5).value_or(QString()), QStringLiteral("0,5"));
        const NumberFormatter whole(NumberFormatter::icuLocaleFor(QStringLiteral("de_DE")), 0, 0);
        QCOMPARE(whole.format(12.5).value_or(QString()), QStringLiteral("12"));
    }

    void cLocaleMapsToPosixEnglish()
    {
        const NumberFormatter f(NumberFormatter::icuLocaleFor(QStringLiteral("C")), 1, 1);
        QCOMPARE(f.format(1.25).value_or(QString()), QStringLiteral("1.2"));
    }
};

QTEST_GUILESS_MAIN(TestFormatters)
#include "tst_formatters.moc"
