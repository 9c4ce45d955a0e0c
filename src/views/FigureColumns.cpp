// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "FigureColumns.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>

namespace pelmora {

FigureColumns FigureColumns::in(const QRectF &line, qreal memoryColumnWidth)
{
    FigureColumns columns;
    columns.memory = QRectF(line.right() - memoryColumnWidth, line.top(), memoryColumnWidth, line.height());
    columns.cpu = QRectF(columns.memory.left() - spacing - cpuWidth, line.top(), cpuWidth, line.height());
    return columns;
}

qreal FigureColumns::leadingRoom(qreal left) const
{
    return std::max(0.0, cpu.left() - leadingGap - left);
}

qreal centredBaseline(const QRectF &frame, const QFont &font)
{
    const QFontMetricsF fm(font);
    return frame.center().y() + (fm.ascent() - fm.descent()) / 2.0;
}

void drawTrailing(QPainter &painter, const QRectF &frame, const QString &text, const QFont &font)
{
    painter.setFont(font);
    painter.drawText(QPointF(frame.right() - QFontMetricsF(font).horizontalAdvance(text), centredBaseline(frame, font)),
                     text);
}

} // namespace pelmora
