// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/MetricFormatters.h"

#include <QLocale>
#include <QTest>

using namespace pelmora;

class TestFormatters : public QObject {
    Q_OBJECT
private slots:
    // The shared formatters read the locale once; pin it before first use.
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void formats_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("tie to even down") << "%" << 12.5 << "12%";
        QTest::newRow("tie to even up") << "%" << 13.5 << "14%";
        QTest::newRow("no grouping") << "%" << 12345.0 << "12345%";
        QTest::newRow("too long: fallback") << "%" << 1e300 << "0%";
        QTest::newRow("NaN: fallback") << "%" << qQNaN() << "0%";
        QTest::newRow("infinite: fallback") << "cpu" << qInf() << "0%";
        QTest::newRow("negative zero") << "cpu" << -0.0 << "0%";
        QTest::newRow("cpu below one") << "cpu" << 0.25 << "0.2%";
        QTest::newRow("cpu chosen by raw value") << "cpu" << 0.96 << "1.0%";
        QTest::newRow("2.5 MB to even") << "bytes" << 2621440.0 << "2 MB";
        QTest::newRow("just below GiB") << "bytes" << 1073741823.0 << "1024 MB";
        QTest::newRow("one GiB") << "bytes" << 1073741824.0 << "1.0 GB";
        QTest::newRow("TiB stays GB") << "bytes" << double(quint64(1) << 40) << "1024.0 GB";
        QTest::newRow("German comma") << "de_DE" << 1234567.25 << "1234567,2";
    }
    void formats()
    {
        QFETCH(QString, kind);
        QFETCH(double, value);
        const NumberFormatter localised(NumberFormatter::icuLocaleFor(kind), 1, 1);
        QTEST(kind == u"%"           ? formattedPercent(value)
                  : kind == u"cpu"   ? formattedProcessCPU(value)
                  : kind == u"bytes" ? formattedBytes(quint64(value))
                                     : localised.format(value).value_or("<none>"),
              "text");
    }
};

QTEST_GUILESS_MAIN(TestFormatters)
#include "tst_formatters.moc"
