#include "app/tray/StatusNotifierTypes.h"
#include "app/tray/TrayIconRenderer.h"

#include <QDir>
#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QtTest>

using pelmora::TrayIconRenderer;
using Face = pelmora::TrayIconRenderer::Face;

namespace {

// Rows [top, bottom) of `image` that hold any pixel differing from `other`.
QPair<int, int> differingRows(const QImage &image, const QImage &other)
{
    int top = -1, bottom = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != other.pixel(x, y)) {
                if (top < 0)
                    top = y;
                bottom = y + 1;
            }
    return {top, bottom};
}

QImage over(const QImage &icon, const QColor &background)
{
    QImage out(icon.size(), QImage::Format_RGB32);
    out.fill(background);
    QPainter painter(&out);
    painter.drawImage(0, 0, icon);
    return out;
}

// Height of the dark ink (pixels much darker than the badge) in rows [from, to).
int inkHeight(const QImage &image, int from, int to)
{
    int top = -1, bottom = -1;
    for (int y = from; y < to; ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 110) {
                if (top < 0)
                    top = y;
                bottom = y + 1;
            }
    return top < 0 ? 0 : bottom - top;
}

} // namespace

class TestTrayIcon : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Without the font every glyph is an empty box and nothing below would notice.
        const QFontMetrics metrics(QFont(QStringLiteral("DejaVu Sans")));
        for (QChar c : QStringLiteral("0123456789-/"))
            QVERIFY2(metrics.inFont(c), qPrintable(QStringLiteral("no glyph for '%1' (fonts-dejavu-core missing?)").arg(c)));
        m_outDir = QStringLiteral(PELMORA_BINARY_DIR "/tests/trayicon");
        QVERIFY(QDir().mkpath(m_outDir));
    }

    void titleLines()
    {
        QCOMPARE(TrayIconRenderer::titleLines(QStringLiteral("12/63")), QStringList({"12", "63"}));
        QCOMPARE(TrayIconRenderer::titleLines(QStringLiteral("--/--")), QStringList({"--", "--"}));
        QCOMPARE(TrayIconRenderer::titleLines(QStringLiteral("Pelmora")), QStringList({"Pelmora"}));
        QCOMPARE(TrayIconRenderer::titleLines(QStringLiteral("1/2/3")), QStringList({"1/2/3"}));
    }

    void everySizeIsSquareAndSaved_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<Face>("face");
        QTest::newRow("placeholder") << QStringLiteral("--/--") << Face::title;
        QTest::newRow("figures") << QStringLiteral("12/63") << Face::title;
        QTest::newRow("full") << QStringLiteral("100/100") << Face::title;
        QTest::newRow("glyph") << QStringLiteral("12/63") << Face::glyph;
    }

    void everySizeIsSquareAndSaved()
    {
        QFETCH(QString, title);
        QFETCH(Face, face);
        const QString tag = QString::fromLatin1(QTest::currentDataTag());
        for (int size : TrayIconRenderer::sizes()) {
            const QImage image = TrayIconRenderer::render(title, size, face);
            QCOMPARE(image.size(), QSize(size, size));
            QVERIFY(image.hasAlphaChannel());
            // Saved for a look by eye, on a dark and on a light panel colour.
            QVERIFY(over(image, QColor(40, 40, 44)).scaled(size * 4, size * 4).save(
                QStringLiteral("%1/%2-%3-dark.png").arg(m_outDir, tag).arg(size)));
            QVERIFY(over(image, QColor(236, 236, 236)).scaled(size * 4, size * 4).save(
                QStringLiteral("%1/%2-%3-light.png").arg(m_outDir, tag).arg(size)));
        }
        const QIcon icon = TrayIconRenderer::icon(title, face);
        for (int size : TrayIconRenderer::sizes())
            QVERIFY(icon.availableSizes().contains(QSize(size, size)));
    }

    // Each figure sits on its own line: changing the first changes only the top
    // half, changing the second only the bottom half.
    void figuresAreStacked()
    {
        for (int size : TrayIconRenderer::sizes()) {
            const QImage base = TrayIconRenderer::render(QStringLiteral("12/63"), size, Face::title);
            QCOMPARE(TrayIconRenderer::render(QStringLiteral("12/63"), size, Face::title), base);

            const auto top = differingRows(TrayIconRenderer::render(QStringLiteral("47/63"), size, Face::title), base);
            QVERIFY2(top.first >= 0, "the first figure is not drawn");
            QVERIFY2(top.second <= size / 2 + 1, qPrintable(QString::number(top.second)));

            const auto bottom = differingRows(TrayIconRenderer::render(QStringLiteral("12/85"), size, Face::title), base);
            QVERIFY2(bottom.first >= 0, "the second figure is not drawn");
            QVERIFY2(bottom.first >= size / 2 - 1, qPrintable(QString::number(bottom.first)));
        }
    }

    // Legible means the digits use the height they are given: at 22 px each
    // line's ink must be 8 px tall. Three-digit lines may be drawn a little smaller.
    void digitsFillTheirLines_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<double>("share");
        QTest::newRow("two digits") << QStringLiteral("12/63") << 0.34;
        QTest::newRow("three digits") << QStringLiteral("100/100") << 0.3;
    }

    void digitsFillTheirLines()
    {
        QFETCH(QString, title);
        QFETCH(double, share);
        for (int size : TrayIconRenderer::sizes()) {
            const QImage image = over(TrayIconRenderer::render(title, size, Face::title), Qt::white);
            const int top = inkHeight(image, 0, size / 2);
            const int bottom = inkHeight(image, size / 2, size);
            QVERIFY2(top >= size * share && bottom >= size * share,
                     qPrintable(QStringLiteral("at %1 px: %2 and %3").arg(size).arg(top).arg(bottom)));
        }
    }

    // The badge is opaque, so the icon looks the same on any panel colour
    // except at its rounded corners.
    void readsOnDarkAndLightPanels()
    {
        for (Face face : {Face::title, Face::glyph}) {
            const int size = 22;
            const QImage icon = TrayIconRenderer::render(QStringLiteral("12/63"), size, face);
            const QImage onDark = over(icon, Qt::black);
            const QImage onLight = over(icon, Qt::white);
            const int inset = 5;
            for (int y = inset; y < size - inset; ++y)
                for (int x = inset; x < size - inset; ++x)
                    QCOMPARE(onDark.pixel(x, y), onLight.pixel(x, y));
            QCOMPARE(qAlpha(icon.pixel(0, 0)), 0);
            QVERIFY(inkHeight(onLight, 0, size) > size / 2);
        }
    }

    void placeholderDiffersFromFigures()
    {
        const QImage placeholder = TrayIconRenderer::render(QStringLiteral("--/--"), 22, Face::title);
        const QImage figures = TrayIconRenderer::render(QStringLiteral("88/88"), 22, Face::title);
        QVERIFY(placeholder != figures);
        const QImage blank = TrayIconRenderer::render(QStringLiteral(" / "), 22, Face::title);
        QVERIFY2(placeholder != blank, "the dashes are not drawn");
    }

    // Where the host shows the title as a label the icon must not repeat it.
    void glyphIgnoresTheTitle()
    {
        for (int size : TrayIconRenderer::sizes()) {
            const QImage glyph = TrayIconRenderer::render(QStringLiteral("12/63"), size, Face::glyph);
            QCOMPARE(TrayIconRenderer::render(QStringLiteral("99/1"), size, Face::glyph), glyph);
            QVERIFY(glyph != TrayIconRenderer::render(QStringLiteral("12/63"), size, Face::title));
            QVERIFY(inkHeight(over(glyph, Qt::white), 0, size) > size / 3);
        }
    }

    void pixelsGoOutArgbInNetworkOrder()
    {
        QImage image(2, 1, QImage::Format_ARGB32);
        image.setPixel(0, 0, qRgba(0x11, 0x22, 0x33, 0x44));
        image.setPixel(1, 0, qRgba(0xff, 0x00, 0x80, 0xff));
        const pelmora::SniIconPixmap pixmap = pelmora::toSniIconPixmap(image);
        QCOMPARE(pixmap.width, 2);
        QCOMPARE(pixmap.height, 1);
        QCOMPARE(pixmap.bytes, QByteArray::fromHex("44112233" "ffff0080"));

        // Premultiplied input is un-premultiplied on the way out.
        QImage premultiplied(1, 1, QImage::Format_ARGB32_Premultiplied);
        premultiplied.setPixel(0, 0, qPremultiply(qRgba(0xff, 0x00, 0x00, 0x80)));
        QCOMPARE(pelmora::toSniIconPixmap(premultiplied).bytes, QByteArray::fromHex("80ff0000"));

        QCOMPARE(pelmora::fromSniIconPixmap(pixmap), image);
        QVERIFY(pelmora::fromSniIconPixmap({2, 2, pixmap.bytes}).isNull());
        QVERIFY(pelmora::fromSniIconPixmap({0, 0, {}}).isNull());
    }

private:
    QString m_outDir;
};

QTEST_MAIN(TestTrayIcon)
#include "tst_trayicon.moc"
