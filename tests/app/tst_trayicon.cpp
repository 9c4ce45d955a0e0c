// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The tray icon as a person sees it at a panel's real size: figures tall
// enough to read, apart from each other, inside the badge, and dark on light
// whatever the panel's colour. Measured on the pixels, not on the layout code.
#include "app/tray/TrayIconRenderer.h"
#include "app/tray/TrayTexts.h"

#include <QtTest>

using namespace pelmora;
using namespace Qt::StringLiterals;
using Face = TrayIconRenderer::Face;

namespace {

// WCAG relative luminance and contrast ratio.
double luminance(QRgb c)
{
    const auto channel = [](int v) {
        const double s = v / 255.0;
        return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(c)) + 0.7152 * channel(qGreen(c)) + 0.0722 * channel(qBlue(c));
}
double contrast(QRgb a, QRgb b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QImage onPanel(const QImage &icon, QColor panel)
{
    QImage image(icon.size(), QImage::Format_RGB32);
    image.fill(panel);
    QPainter(&image).drawImage(0, 0, icon);
    return image;
}

// Darker than halfway between the badge and the ink.
bool isInk(QRgb pixel)
{
    return qGray(pixel) < 135;
}

// Runs of consecutive indexes for which `hasInk` holds.
QList<QPair<int, int>> runs(int count, const std::function<bool(int)> &hasInk)
{
    QList<QPair<int, int>> found;
    for (int i = 0; i < count; ++i) {
        if (!hasInk(i))
            continue;
        int end = i;
        while (end + 1 < count && hasInk(end + 1))
            ++end;
        found.append({i, end});
        i = end;
    }
    return found;
}

} // namespace

class TestTrayIcon : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // Without a font with digits every glyph is an empty box, and boxes have "ink" too.
        QVERIFY(QFontMetrics(QFont(u"DejaVu Sans"_s)).inFont(u'0'));
    }

    // Each exported size as a host shows it: as it is, or (xfce4-panel) the
    // largest one scaled down to the panel's size.
    void figuresAreLegible_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("shownAt");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("minimumFigureHeight");
        QTest::newRow("22 px") << 22 << 22 << u"12/63"_s << 9;
        QTest::newRow("22 px, full load") << 22 << 22 << u"100/100"_s << 9;
        QTest::newRow("24 px") << 24 << 24 << u"100/7"_s << 9;
        QTest::newRow("32 px") << 32 << 32 << u"8/100"_s << 13;
        QTest::newRow("44 px (twice 22)") << 44 << 44 << u"48/100"_s << 18;
        const int largest = TrayIconRenderer::sizes().constLast();
        QTest::newRow("largest scaled to 22") << largest << 22 << u"100/63"_s << 9;
        QTest::newRow("largest scaled to 24") << largest << 24 << u"100/100"_s << 9;
    }
    void figuresAreLegible()
    {
        QFETCH(int, size);
        QFETCH(int, shownAt);
        QFETCH(QString, title);
        QFETCH(int, minimumFigureHeight);
        const QImage drawn = TrayIconRenderer::render(title, size, Face::title);
        QCOMPARE(drawn.size(), QSize(size, size));
        // The figures drawn are the title's, each of them.
        const QStringList lines = title.split(u'/');
        for (const QString &other : {u"1/"_s + lines.at(1), lines.at(0) + u"/1"_s})
            QVERIFY2(drawn != TrayIconRenderer::render(other, size, Face::title), qPrintable(other));
        const QImage icon = drawn.scaled(shownAt, shownAt, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);

        // The figures' ink, on a white panel (where the badge's edge and corners are light).
        const QImage image = onPanel(icon, Qt::white);
        const auto inkAt = [&](int x, int y) { return isInk(image.pixel(x, y)); };
        const QList<QPair<int, int>> rows = runs(image.height(), [&](int y) {
            for (int x = 0; x < image.width(); ++x)
                if (inkAt(x, y))
                    return true;
            return false;
        });
        QCOMPARE(rows.size(), 2);
        for (int r = 0; r < rows.size(); ++r) {
            const auto [top, bottom] = rows.at(r);
            QVERIFY2(bottom - top + 1 >= minimumFigureHeight,
                     qPrintable(u"row %1 is %2 px tall"_s.arg(r).arg(bottom - top + 1)));
            const QList<QPair<int, int>> ink = runs(image.width(), [&](int x) {
                for (int y = top; y <= bottom; ++y)
                    if (inkAt(x, y))
                        return true;
                return false;
            });
            // Inside the badge, off its edge, and as wide as the characters need
            // (at least 4 px each): nothing is cut off or shrunk out of sight.
            const int left = ink.first().first, right = ink.last().second;
            QVERIFY2(top >= 1 && bottom <= image.height() - 2 && left >= 1 && right <= image.width() - 2,
                     qPrintable(u"row %1 touches the edge"_s.arg(r)));
            QVERIFY2(right - left + 1 >= 4 * lines.at(r).size(),
                     qPrintable(u"row %1 is %2 px wide"_s.arg(r).arg(right - left + 1)));
        }
        // Dark ink on a light badge, which stands out from dark and coloured panels.
        for (const QColor panel : {QColor(Qt::white), QColor(0x20, 0x20, 0x24), QColor(0x3c, 0x6e, 0xb4)}) {
            const QImage shown = onPanel(icon, panel);
            const QRgb badge = shown.pixel(2, shownAt / 2);
            QVERIFY2(contrast(badge, qRgb(24, 24, 26)) > 12, qPrintable(panel.name()));
            QVERIFY2(panel == Qt::white || contrast(badge, panel.rgb()) > 3, qPrintable(panel.name()));
        }
    }

    // Twice 22 px, halved by a host, is the 22 px drawing: rows and edges on whole pixels.
    void twiceTheSizeHalvesCleanly()
    {
        for (Face face : {Face::title, Face::glyph}) {
            const QImage small = onPanel(TrayIconRenderer::render(u"100/63"_s, 22, face), Qt::white);
            const QImage halved = onPanel(TrayIconRenderer::render(u"100/63"_s, 44, face)
                                              .scaled(22, 22, Qt::IgnoreAspectRatio, Qt::SmoothTransformation),
                                          Qt::white);
            double difference = 0;
            for (int y = 0; y < 22; ++y)
                for (int x = 0; x < 22; ++x)
                    difference += std::abs(qGray(small.pixel(x, y)) - qGray(halved.pixel(x, y)));
            QVERIFY2(difference / (22 * 22) < 8, qPrintable(QString::number(difference / (22 * 22))));
        }
    }

    // The title and the tooltip tell the same figures, ties rounded alike (to even).
    void toolTipSaysWhatTheFiguresAre()
    {
        QCOMPARE(TrayTexts::status(StatusFigures{12.5, 63.5}), (TrayStatus{u"12/64"_s, u"CPU 12 % · Memory 64 %"_s}));
        QCOMPARE(TrayTexts::status(std::nullopt), (TrayStatus{u"--/--"_s, u"CPU and memory: measuring…"_s}));
    }
};

QTEST_MAIN(TestTrayIcon)
#include "tst_trayicon.moc"
