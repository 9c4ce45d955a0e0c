#include "views/AppMetricRow.h"
#include "views/FigureEmphasis.h"
#include "views/Theme.h"

#include <QImage>
#include <QPainter>
#include <QTest>

using namespace pelmora;

Q_DECLARE_METATYPE(AppMetricKind)
Q_DECLARE_METATYPE(FigureTint)

namespace {

constexpr quint64 G = quint64(1) << 30;

// Pixels inside `frame` whose colour is close to `colour` (anti-aliased text
// has only a few at full strength, so the test is a distance).
int pixelsNear(const QImage &image, const QRectF &frame, const QColor &colour)
{
    int count = 0;
    const QRect r = frame.toAlignedRect().intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) +
                    std::abs(c.blue() - colour.blue()) < 40)
                ++count;
        }
    }
    return count;
}

} // namespace

class TestFigureEmphasis : public QObject {
    Q_OBJECT

private slots:
    void cpuFigure_data()
    {
        QTest::addColumn<double>("cpu");
        QTest::addColumn<AppMetricKind>("list");
        QTest::addColumn<bool>("isProcess");
        QTest::addColumn<bool>("semibold");
        QTest::addColumn<FigureTint>("tint");
        const auto cpu = AppMetricKind::cpu;
        QTest::newRow("4.99 blue") << 4.99 << cpu << false << true << FigureTint::blue;
        QTest::newRow("5.0 orange") << 5.0 << cpu << false << true << FigureTint::orange;
        QTest::newRow("19.99 orange") << 19.99 << cpu << false << true << FigureTint::orange;
        QTest::newRow("20.0 red") << 20.0 << cpu << false << true << FigureTint::red;
        QTest::newRow("0 blue") << 0.0 << cpu << false << true << FigureTint::blue;
        for (AppMetricKind other : {AppMetricKind::memory, AppMetricKind::app}) {
            const QByteArray list = other == AppMetricKind::app ? "app list" : "memory list";
            for (double v : {4.99, 5.0, 20.0, 250.0})
                QTest::addRow("%s %g", list.constData(), v) << v << other << false << false << FigureTint::secondary;
        }
        QTest::newRow("process line above 20") << 80.0 << cpu << true << false << FigureTint::secondary;
    }
    void cpuFigure()
    {
        QFETCH(double, cpu);
        QFETCH(AppMetricKind, list);
        QFETCH(bool, isProcess);
        QFETCH(bool, semibold);
        QFETCH(FigureTint, tint);
        QCOMPARE(cpuFigureEmphasis(cpu, list, isProcess), (FigureEmphasis{semibold, tint}));
    }

    void memoryFigure_data()
    {
        QTest::addColumn<quint64>("bytes");
        QTest::addColumn<AppMetricKind>("list");
        QTest::addColumn<bool>("isProcess");
        QTest::addColumn<bool>("semibold");
        QTest::addColumn<FigureTint>("tint");
        const auto cpu = AppMetricKind::cpu;
        const auto memory = AppMetricKind::memory;
        const auto app = AppMetricKind::app;
        QTest::newRow("exactly 1 GiB, cpu list") << G << cpu << false << false << FigureTint::secondary;
        QTest::newRow("exactly 1 GiB, memory list") << G << memory << false << true << FigureTint::primary;
        QTest::newRow("1 GiB + 1, cpu list") << G + 1 << cpu << false << true << FigureTint::orange;
        QTest::newRow("1 GiB + 1, app list") << G + 1 << app << false << true << FigureTint::orange;
        QTest::newRow("1 GiB + 1, memory list") << G + 1 << memory << false << true << FigureTint::orange;
        QTest::newRow("exactly 4 GiB") << 4 * G << app << false << true << FigureTint::orange;
        QTest::newRow("4 GiB + 1") << 4 * G + 1 << cpu << false << true << FigureTint::red;
        QTest::newRow("small, memory list") << quint64(1000) << memory << false << true << FigureTint::primary;
        QTest::newRow("small, app list") << quint64(1000) << app << false << false << FigureTint::secondary;
        QTest::newRow("process line, 8 GiB") << 8 * G << memory << true << false << FigureTint::secondary;
    }
    void memoryFigure()
    {
        QFETCH(quint64, bytes);
        QFETCH(AppMetricKind, list);
        QFETCH(bool, isProcess);
        QFETCH(bool, semibold);
        QFETCH(FigureTint, tint);
        QCOMPARE(memoryFigureEmphasis(bytes, list, isProcess), (FigureEmphasis{semibold, tint}));
    }

    // The painted row uses the rule: each figure shows up in its colour, in
    // its own column frame.
    void paintedRowsCarryTheColours_data()
    {
        QTest::addColumn<double>("cpu");
        QTest::addColumn<quint64>("bytes");
        QTest::addColumn<QColor>("cpuColour");
        QTest::addColumn<QColor>("memoryColour");
        QTest::newRow("red, red") << 20.0 << 4 * G + 1 << Theme::systemRed() << Theme::systemRed();
        QTest::newRow("orange, orange") << 5.0 << G + 1 << Theme::systemOrange() << Theme::systemOrange();
        QTest::newRow("blue, secondary") << 4.99 << G << Theme::systemBlue() << QColor(128, 128, 128);
    }
    void paintedRowsCarryTheColours()
    {
        QFETCH(double, cpu);
        QFETCH(quint64, bytes);
        QFETCH(QColor, cpuColour);
        QFETCH(QColor, memoryColour);
        const AppMetric app{QStringLiteral("a"), QStringLiteral("App"), cpu, bytes, {}};
        QImage image(400, AppMetricRow::height(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        const QRectF card(0, 0, 400, AppMetricRow::height());
        {
            QPainter p(&image);
            AppMetricRow::paint(p, card, app, AppMetricKind::cpu, false);
        }
        const QRectF line = card.adjusted(AppMetricRow::horizontalPadding, AppMetricRow::verticalPadding,
                                          -AppMetricRow::horizontalPadding, -AppMetricRow::verticalPadding);
        const AppMetricRow::LineLayout layout = AppMetricRow::lineLayout(line, app.name, 0, false);
        QCOMPARE(layout.cpu.width(), 58.0);
        QCOMPARE(layout.memory.width(), 74.0);
        QVERIFY(pixelsNear(image, layout.cpu, cpuColour) > 3);
        QVERIFY(pixelsNear(image, layout.memory, memoryColour) > 3);
        QCOMPARE(pixelsNear(image, layout.memory, cpuColour == memoryColour ? QColor(Qt::green) : cpuColour), 0);
    }
};

QTEST_MAIN(TestFigureEmphasis)
#include "tst_figureemphasis.moc"
