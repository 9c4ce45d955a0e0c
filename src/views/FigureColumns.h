// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QRectF>

class QFont;
class QPainter;
class QString;

namespace pelmora {

// The two figure columns at the end of every line that shows figures, and of
// the headers above them: CPU, one spacing, then memory, flush with the
// line's right edge. Defined once, for the rows and the titles above them.
struct FigureColumns {
    QRectF cpu;
    QRectF memory;

    static constexpr int cpuWidth = 58;
    static constexpr int memoryWidth = 74;
    static constexpr int spacing = 8;
    // Between a line's leading text and the CPU column: the flexible spacer's
    // minimum gap and one spacing on either side of it.
    static constexpr int leadingGap = 3 * spacing;

    // The columns inside `line`; a header title may ask for a wider memory column.
    static FigureColumns in(const QRectF &line, qreal memoryColumnWidth = memoryWidth);
    // The width a leading text starting at `left` may take; never negative.
    qreal leadingRoom(qreal left) const;
};

// The baseline that centres one line of `font` vertically in `frame`.
qreal centredBaseline(const QRectF &frame, const QFont &font);
// Draws `text` in `font` flush with the right edge of `frame`, vertically
// centred, in the painter's pen: how every figure and its title is placed.
void drawTrailing(QPainter &painter, const QRectF &frame, const QString &text, const QFont &font);

} // namespace pelmora
