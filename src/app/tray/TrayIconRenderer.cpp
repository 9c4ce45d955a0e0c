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
const QColor badgeEdge(0, 0, 0, 120);
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

QRectF badgeRect(int size)
{
    return QRectF(0.5, 0.5, size - 1.0, size - 1.0);
}

void paintBadge(QPainter &painter, int size)
{
    const qreal radius = std::max(2.0, size * 0.2);
    painter.setPen(QPen(badgeEdge, std::max(1.0, size / 32.0)));
    painter.setBrush(badgeFill);
    painter.drawRoundedRect(badgeRect(size), radius, radius);
}

// Every character gets a cell as wide as the widest digit, so a line keeps its
// layout while the figures change. Rows are snapped to whole pixels (digit
// height, gap, baselines) because at 22 px a blurred row is an unreadable one.
// Lines longer than the width are condensed a little, then drawn smaller.
void paintLines(QPainter &painter, const QStringList &lines, int size)
{
    const int margin = std::max(2, qRound(size * 0.09));
    const int gap = std::max(2, qRound(size * 0.08));
    const int available = size - 2 * margin;
    const int rows = int(lines.size());
    const int digitHeight = rows > 1 ? (available - gap * (rows - 1)) / rows : available / 2;
    const int blockHeight = digitHeight * rows + gap * (rows - 1);
    const int top = margin + (available - blockHeight + 1) / 2;
    const qreal width = size - 2.0 * margin;

    // The largest font whose digits are no taller than their row.
    const QString digits = QStringLiteral("0123456789");
    QFont font = figureFont(digitHeight);
    for (qreal pixels = digitHeight * 1.6; pixels > 1; pixels -= 0.5) {
        font = figureFont(pixels);
        if (QFontMetricsF(font).tightBoundingRect(digits).height() <= digitHeight + 0.5)
            break;
    }
    QFontMetricsF metrics(font);
    qreal cellWidth = 0;
    for (QChar c : QStringLiteral("0123456789-"))
        cellWidth = std::max(cellWidth, metrics.horizontalAdvance(c));
    const qsizetype cells = std::max<qsizetype>(2, std::max_element(lines.begin(), lines.end(),
        [](const QString &a, const QString &b) { return a.size() < b.size(); })->size());
    qreal squeeze = std::min(1.0, width / (cellWidth * cells));
    if (squeeze < 0.85) { // narrower than that the digits run together: shrink the font instead
        const qreal shrink = squeeze / 0.85;
        font = figureFont(font.pixelSize() * shrink);
        metrics = QFontMetricsF(font);
        cellWidth *= shrink;
        squeeze = 0.85;
    }

    const QRectF digitBox = metrics.tightBoundingRect(digits);
    painter.setFont(font);
    painter.setPen(ink);
    for (int row = 0; row < rows; ++row) {
        const QString &line = lines.at(row);
        const int rowTop = top + row * (digitHeight + gap);
        const qreal baseline = std::round(rowTop + (digitHeight - digitBox.height()) / 2 - digitBox.top());
        const qreal lineWidth = cellWidth * line.size() * squeeze;
        const qreal left = std::round((size - lineWidth) / 2);
        painter.save();
        painter.translate(left, baseline);
        painter.scale(squeeze, 1.0);
        for (int i = 0; i < line.size(); ++i) {
            const QString glyph(line.at(i));
            const qreal x = i * cellWidth + (cellWidth - metrics.horizontalAdvance(glyph)) / 2;
            painter.drawText(QPointF(x, 0), glyph);
        }
        painter.restore();
    }
}

void paintTitle(QPainter &painter, const QString &title, int size)
{
    paintBadge(painter, size);
    paintLines(painter, TrayIconRenderer::titleLines(title), size);
}

// A monitor with a pulse line on its screen.
void paintGlyph(QPainter &painter, int size)
{
    paintBadge(painter, size);
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
    return {22, 32, 48};
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
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    if (face == Face::glyph)
        paintGlyph(painter, size);
    else
        paintTitle(painter, title, size);
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
