// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/tray/TrayIconRenderer.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <algorithm>
#include <cmath>

namespace pelmora {
namespace {

const QColor badgeFill(246, 246, 244);
const QColor badgeEdge(0, 0, 0, 80);
const QColor ink(24, 24, 26);

QFont figureFont(qreal pixelSize)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setWeight(QFont::Bold);
    font.setPixelSize(std::max(1, qRound(pixelSize)));
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

void paintBadge(QPainter &painter, QSize size)
{
    const int side = std::min(size.width(), size.height());
    const qreal radius = std::max(2.0, side * 0.18);
    painter.setPen(QPen(badgeEdge, std::max(1.0, side / 32.0)));
    painter.setBrush(badgeFill);
    painter.drawRoundedRect(QRectF(0.5, 0.5, size.width() - 1.0, size.height() - 1.0), radius, radius);
}

// Every character gets a cell as wide as the widest digit, so a line keeps its
// layout while the figures change. Rows are snapped to whole pixels (digit
// height, gap, baselines) because at 22 px a blurred row is an unreadable one.
// Lines longer than the width are condensed (down to narrowest), then drawn smaller.
void paintLines(QPainter &painter, const QStringList &lines, QSize size)
{
    constexpr qreal narrowest = 0.7;
    const int rows = int(lines.size());
    const int side = std::min(size.width(), size.height());
    // The badge's edge and one pixel inside it; rows as tall as the rest allows.
    const int margin = std::max(1, qRound(side * 0.05));
    const int gap = rows > 1 ? std::max(2, qRound(side * 0.08)) : 0;
    const int available = size.height() - 2 * margin;
    const int digitHeight = rows > 1 ? (available - gap * (rows - 1)) / rows : qRound(available * 0.62);
    const int blockHeight = digitHeight * rows + gap * (rows - 1);
    const int top = margin + (available - blockHeight + 1) / 2;
    const qreal width = size.width() - 2.0 * (margin + 1);

    // The largest font whose digits are no taller than their row.
    const QString digits = QStringLiteral("0123456789");
    QFont font = figureFont(digitHeight);
    for (qreal pixels = digitHeight * 1.6; pixels > 1; pixels -= 0.25) {
        font = figureFont(pixels);
        if (QFontMetricsF(font).tightBoundingRect(digits).height() <= digitHeight + 0.25)
            break;
    }
    QFontMetricsF metrics(font);
    qreal cellWidth = 0;
    for (QChar c : QStringLiteral("0123456789-"))
        cellWidth = std::max(cellWidth, metrics.horizontalAdvance(c));
    // A '/' takes less room than a digit, plus some air on both sides (it leans into its neighbours).
    const qreal slashCell = std::min(1.0, 1.4 * metrics.horizontalAdvance(QLatin1Char('/')) / cellWidth);
    const auto cellsOf = [&](const QString &line) {
        return qreal(line.size()) - qreal(line.count(QLatin1Char('/'))) * (1 - slashCell);
    };
    qreal cells = 2;
    for (const QString &line : lines)
        cells = std::max(cells, cellsOf(line));
    qreal squeeze = std::min(1.0, width / (cellWidth * cells));
    if (squeeze < narrowest) { // narrower than that the digits run together: shrink the font instead
        const qreal shrink = squeeze / narrowest;
        font = figureFont(font.pixelSize() * shrink);
        metrics = QFontMetricsF(font);
        cellWidth *= shrink;
        squeeze = narrowest;
    }

    const QRectF digitBox = metrics.tightBoundingRect(digits);
    painter.setFont(font);
    painter.setPen(ink);
    for (int row = 0; row < rows; ++row) {
        const QString &line = lines.at(row);
        const int rowTop = top + row * (digitHeight + gap);
        const qreal baseline = std::round(rowTop + (digitHeight - digitBox.height()) / 2 - digitBox.top());
        const qreal lineWidth = cellWidth * cellsOf(line) * squeeze;
        const qreal left = std::round((size.width() - lineWidth) / 2);
        painter.save();
        painter.translate(left, baseline);
        painter.scale(squeeze, 1.0);
        qreal x = 0;
        for (QChar c : line) {
            const QString glyph(c);
            const qreal cell = c == QLatin1Char('/') ? slashCell * cellWidth : cellWidth;
            painter.drawText(QPointF(x + (cell - metrics.horizontalAdvance(glyph)) / 2, 0), glyph);
            x += cell;
        }
        painter.restore();
    }
}

// A monitor with a pulse line on its screen.
void paintGlyph(QPainter &painter, int size)
{
    paintBadge(painter, QSize(size, size));
    const qreal s = size;
    const qreal stroke = std::max(1.5, s * 0.075);
    const QRectF screen(s * 0.2, s * 0.22, s * 0.6, s * 0.42);
    painter.setPen(QPen(ink, stroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(screen, s * 0.05, s * 0.05);

    QPainterPath pulse;
    const qreal mid = screen.center().y();
    const qreal amp = screen.height() * 0.26;
    pulse.moveTo(screen.left() + s * 0.08, mid);
    pulse.lineTo(screen.left() + s * 0.2, mid);
    pulse.lineTo(screen.left() + s * 0.27, mid - amp);
    pulse.lineTo(screen.left() + s * 0.35, mid + amp);
    pulse.lineTo(screen.left() + s * 0.41, mid);
    pulse.lineTo(screen.right() - s * 0.08, mid);
    painter.setPen(QPen(ink, std::max(1.0, s * 0.055), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(pulse);

    painter.setPen(QPen(ink, stroke, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(s * 0.5, screen.bottom()), QPointF(s * 0.5, s * 0.76));
    painter.drawLine(QPointF(s * 0.34, s * 0.78), QPointF(s * 0.66, s * 0.78));
}

} // namespace

QList<int> TrayIconRenderer::sizes()
{
    return {22, 24, 32, 44};
}

QStringList TrayIconRenderer::titleLines(const QString &title)
{
    const QStringList parts = title.split(QLatin1Char('/'));
    if (parts.size() == 2)
        return parts;
    return {title};
}

QImage TrayIconRenderer::render(const QString &title, int size, Face face)
{
    constexpr int base = 22;
    const int scale = size > base && size % base == 0 ? size / base : 1;
    const int layout = size / scale;
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.scale(scale, scale);
    if (face == Face::glyph) {
        paintGlyph(painter, layout);
        return image;
    }
    paintBadge(painter, QSize(layout, layout));
    paintLines(painter, titleLines(title), QSize(layout, layout));
    return image;
}

QIcon TrayIconRenderer::icon(const QString &title, Face face)
{
    QIcon icon;
    for (int size : sizes())
        icon.addPixmap(QPixmap::fromImage(render(title, size, face)));
    return icon;
}

} // namespace pelmora
