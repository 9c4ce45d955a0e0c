#include "stores/StatusTitleRule.h"

#include <QLocale>
#include <QTest>

using namespace pelmora;
using namespace std::chrono_literals;

namespace {

MetricsSnapshot sample(double cpu, double memory, bool withApps = true)
{
    MetricsSnapshot s;
    s.cpuPercent = cpu;
    s.memoryUsedPercent = memory;
    if (withApps) {
        const AppMetric app{"a", "A", cpu, 1, {ProcessMetric{1, "A", "a", cpu, 1}}};
        s.allApps = s.topCPUApps = s.topMemoryApps = {app};
    }
    return s;
}

} // namespace

class TestStatusTitleRule : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void throttleAndFirstPhase_data()
    {
        QTest::addColumn<double>("cpu");
        QTest::addColumn<bool>("withApps");
        QTest::addColumn<bool>("hadTitle");
        QTest::addColumn<double>("secondsSinceLast");
        QTest::addColumn<QString>("title"); // empty: no update

        QTest::newRow("first, CPU exactly 0") << 0.0 << true << false << 0.0 << "";
        QTest::newRow("first, CPU above 0") << 12.4 << true << false << 0.0 << "12/63";
        QTest::newRow("no applications, first") << 12.4 << false << false << 0.0 << "";
        QTest::newRow("no applications, later") << 12.4 << false << true << 60.0 << "";
        QTest::newRow("exactly 5 s later") << 12.4 << true << true << 5.0 << "12/63";
        QTest::newRow("4.99 s later") << 12.4 << true << true << 4.99 << "";
        QTest::newRow("later, CPU 0 is fine") << 0.0 << true << true << 5.0 << "0/63";
    }
    void throttleAndFirstPhase()
    {
        QFETCH(double, cpu);
        QFETCH(bool, withApps);
        QFETCH(bool, hadTitle);
        QFETCH(double, secondsSinceLast);
        QFETCH(QString, title);

        const WallClock::time_point last{1764930000s};
        const auto now = last + std::chrono::duration_cast<WallClock::duration>(
                                    std::chrono::duration<double>(secondsSinceLast));
        const std::optional<WallClock::time_point> lastUpdate =
            hadTitle ? std::optional(last) : std::nullopt;
        const std::optional<QString> made = StatusTitleRule::titleFor(sample(cpu, 63.0, withApps), lastUpdate, now);
        QCOMPARE(made.value_or(QString()), title);
    }

    void titleFormat()
    {
        QCOMPARE(StatusTitleRule::format(12.5, 63.5), QStringLiteral("12/64")); // half to even, no "%"
        QCOMPARE(StatusTitleRule::format(100.0, 0.0), QStringLiteral("100/0"));
    }
};

QTEST_GUILESS_MAIN(TestStatusTitleRule)
#include "tst_statustitlerule.moc"
