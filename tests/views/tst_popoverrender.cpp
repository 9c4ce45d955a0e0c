#include "PopoverFixture.h"

#include "views/AppActionMenuPresenter.h"
#include "views/CardPainter.h"
#include "views/MetricsSectionView.h"
#include "views/PaddedListView.h"
#include "views/PopoverView.h"
#include "views/ProcessListView.h"
#include "views/SummaryMetricView.h"
#include "views/Symbols.h"
#include "views/Theme.h"

#include <QDir>
#include <QFontMetrics>
#include <QPainter>
#include <QTest>

using namespace pelmora;

namespace {

// Pixels that differ noticeably between two images of the same size.
int differingPixels(const QImage &a, const QImage &b, const QRect &region)
{
    int count = 0;
    for (int y = region.top(); y <= region.bottom(); ++y) {
        for (int x = region.left(); x <= region.right(); ++x) {
            const QColor p = a.pixelColor(x, y);
            const QColor q = b.pixelColor(x, y);
            if (std::abs(p.red() - q.red()) + std::abs(p.green() - q.green()) + std::abs(p.blue() - q.blue()) > 60)
                ++count;
        }
    }
    return count;
}

int pixelsNear(const QImage &image, const QColor &colour)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) +
                    std::abs(c.blue() - colour.blue()) < 30)
                ++count;
        }
    }
    return count;
}

QImage renderAt(QWidget &widget, qreal dpr)
{
    QImage image(widget.size() * dpr, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::transparent);
    widget.render(&image);
    return image;
}

QString outputPath(const QString &name)
{
    return QDir(QStringLiteral(PELMORA_BINARY_DIR)).filePath(name);
}

} // namespace

class TestPopoverRender : public QObject {
    Q_OBJECT

private slots:
    // Without a real font every glyph is an empty box and nothing says so.
    void everyShownCharacterIsInItsFont()
    {
        const QString words = QStringLiteral("tz9-Pelmora System monitor CPU Memory Filter Apps %CPU Refresh Quit "
                                             "No process data No matching processes Show all Web Browser … / ");
        const QString figures = QStringLiteral("0123456789.,% GBMB");
        using Theme::TextStyle;
        for (const QFont &font : {Theme::font(TextStyle::title3, QFont::Bold), Theme::font(TextStyle::headline),
                                  Theme::font(TextStyle::body), Theme::font(TextStyle::callout),
                                  Theme::font(TextStyle::caption, QFont::Medium), Theme::font(TextStyle::caption2)}) {
            const QFontMetrics fm(font);
            for (QChar c : words)
                QVERIFY2(fm.inFont(c), qPrintable(QStringLiteral("'%1' missing from %2").arg(c).arg(font.family())));
        }
        const QFontMetrics mono(Theme::monospacedFont(TextStyle::callout));
        // Fixed width: every character of a figure advances the same.
        for (QChar c : figures)
            QCOMPARE(mono.horizontalAdvance(c), mono.horizontalAdvance(QLatin1Char('0')));
        for (QChar c : figures)
            QVERIFY2(mono.inFont(c), qPrintable(QStringLiteral("'%1' missing from the figure face").arg(c)));
        // Text styles step down in size.
        QVERIFY(Theme::pixelSize(TextStyle::title3) > Theme::pixelSize(TextStyle::headline));
        QVERIFY(Theme::pixelSize(TextStyle::headline) > Theme::pixelSize(TextStyle::callout));
        QVERIFY(Theme::pixelSize(TextStyle::callout) > Theme::pixelSize(TextStyle::caption));
        QVERIFY(Theme::pixelSize(TextStyle::caption) > Theme::pixelSize(TextStyle::caption2));
    }

    // Two texts of one length drawn in the same place must differ where the
    // text is; boxes for missing glyphs would look the same.
    void differentTextsDrawDifferentGlyphs()
    {
        ProcessListHeader header;
        header.resize(404, header.sizeHint().height());
        header.setAppName(QStringLiteral("Alpha"));
        const QImage alpha = header.grab().toImage();
        header.setAppName(QStringLiteral("Omega"));
        const QImage omega = header.grab().toImage();
        const QRect name = header.nameFrame().toAlignedRect();
        QVERIFY(differingPixels(alpha, omega, name) > 15);

        SummaryMetricView tile(QStringLiteral("CPU"), Symbol::cpu, Theme::systemBlue());
        tile.resize(142, tile.sizeHint().height());
        tile.setFigures(QStringLiteral("12%"), std::nullopt);
        const QImage twelve = tile.grab().toImage();
        tile.setFigures(QStringLiteral("80%"), std::nullopt);
        const QImage eighty = tile.grab().toImage();
        QVERIFY(differingPixels(twelve, eighty, tile.rect()) > 30);
    }

    void symbolsDrawInsideTheirBoxAtEveryScale()
    {
        for (qreal dpr : {1.0, 1.5, 2.0}) {
            for (int i = 0; i <= int(Symbol::filterCircle); ++i) {
                const auto symbol = Symbol(i);
                QCOMPARE(symbolNamed(symbolName(symbol)), std::optional<Symbol>(symbol));
                QImage image(QSize(40, 40) * dpr, QImage::Format_ARGB32_Premultiplied);
                image.setDevicePixelRatio(dpr);
                image.fill(Qt::transparent);
                {
                    QPainter p(&image);
                    paintSymbol(p, symbol, QPointF(20, 20), Qt::black, SymbolWeight::semibold, 16);
                }
                // Ink inside the glyph box, none outside it.
                const qreal side = symbolBoxSide(16);
                const QRect box = QRectF((20 - side / 2) * dpr, (20 - side / 2) * dpr, side * dpr, side * dpr)
                                      .toAlignedRect();
                int inside = 0;
                int outside = 0;
                for (int y = 0; y < image.height(); ++y) {
                    for (int x = 0; x < image.width(); ++x) {
                        if (qAlpha(image.pixel(x, y)) > 0)
                            ++(box.adjusted(-1, -1, 1, 1).contains(x, y) ? inside : outside);
                    }
                }
                QVERIFY2(inside > 20 * dpr * dpr, qPrintable(symbolName(symbol)));
                QCOMPARE(outside, 0);
            }
        }
    }

    void shadowsAreBlurredOncePerShape()
    {
        CardStyle style;
        style.radius = 10;
        style.fill = Qt::white;
        style.shadowColour = QColor(0, 0, 0, 20);
        style.shadowBlur = 8;
        style.shadowOffset = {0, 2};
        QImage image(300, 900, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter p(&image);
        const int before = cachedShadowCount();
        for (int row = 0; row < 20; ++row)
            paintCard(p, QRectF(10, 10 + row * 44, 280, 38), style);
        QCOMPARE(cachedShadowCount(), before + 1);
        // The shadow reaches below the card, fading out.
        const QColor below = image.pixelColor(150, 10 + 19 * 44 + 38 + 3);
        QVERIFY(below.alpha() > 0);
        QVERIFY(below.alpha() < 20);
        style.shadowBlur = 6;
        paintCard(p, QRectF(10, 10, 280, 38), style);
        QCOMPARE(cachedShadowCount(), before + 2);
    }

    void rendersThePopover()
    {
        PopoverFixture fixture;
        PopoverView view(*fixture.store, fixture.settings());
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));

        const QImage image = renderAt(view, 1.0);
        QCOMPARE(image.size(), QSize(440, 520));
        // Every emphasis colour of the CPU-sorted list is on screen.
        const QImage list = image.copy(QRect(view.section()->mapTo(&view, QPoint(0, 0)), view.section()->size()));
        for (const QColor &colour : {Theme::systemRed(), Theme::systemOrange(), Theme::systemBlue()})
            QVERIFY2(pixelsNear(list, colour) > 10, qPrintable(colour.name()));
        QVERIFY(image.save(outputPath(QStringLiteral("popover.png"))));
        const QImage doubled = renderAt(view, 2.0);
        QCOMPARE(doubled.size(), QSize(880, 1040));
        QVERIFY(doubled.save(outputPath(QStringLiteral("popover@2x.png"))));

        // A hovered row and one whose menu is wanted, the memory-sorted list
        // and one application's processes, for the eye.
        QWidget *viewport = view.section()->listView()->viewport();
        QTest::mouseMove(viewport, viewport->mapFrom(view.section(), view.section()->cardRect("terminal").center()));
        QVERIFY(view.section()->isHovering("terminal"));
        view.section()->menuPresenter().setMenuRunner([](QMenu &, QPoint) { return nullptr; });
        view.section()->setShowsActions("code editor", true);
        QVERIFY(renderAt(view, 2.0).save(outputPath(QStringLiteral("popover-highlight@2x.png"))));
        view.section()->setShowsActions("code editor", false);

        view.listActions().setMetric(AppMetricKind::memory);
        QVERIFY(renderAt(view, 1.0).save(outputPath(QStringLiteral("popover-memory.png"))));
        for (const AppMetric &app : fixture.store->snapshot().allApps) {
            if (app.processes.size() == 3)
                view.listActions().showProcesses(app);
        }
        QVERIFY(view.isProcessListShown());
        QVERIFY(renderAt(view, 2.0).save(outputPath(QStringLiteral("popover-processes@2x.png"))));
    }
};

QTEST_MAIN(TestPopoverRender)
#include "tst_popoverrender.moc"
