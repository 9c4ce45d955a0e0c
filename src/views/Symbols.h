// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QColor>
#include <QIcon>
#include <QRectF>
#include <QString>

#include <optional>

class QPainter;

// The named symbols of the popover, drawn as vector paths in code so they are
// sharp at any device pixel ratio and need no icon theme.
namespace pelmora {

enum class Symbol {
    chartLineUptrendXYAxis, // "chart.line.uptrend.xyaxis"
    xmark, // "xmark"
    xmarkCircleFill, // "xmark.circle.fill"
    magnifyingGlass, // "magnifyingglass"
    cpu, // "cpu"
    memoryChip, // "memorychip"
    chevronDown, // "chevron.down"
    chevronLeft, // "chevron.left"
    gearShape, // "gearshape"
    power, // "power"
    arrowClockwise, // "arrow.clockwise"
    filterCircle, // "line.3.horizontal.decrease.circle"
};

enum class SymbolWeight { regular, medium, semibold, bold };

QString symbolName(Symbol symbol);
std::optional<Symbol> symbolNamed(const QString &name);

// Side of the square a symbol occupies when set at `pointSize`, like a glyph
// of that size.
qreal symbolBoxSide(qreal pointSize);

// Paints `symbol` centred in `box`, its strokes as heavy as `weight` makes
// them at `pointSize`. The painter's state is restored afterwards.
void paintSymbol(QPainter &painter, Symbol symbol, const QRectF &box, const QColor &colour, SymbolWeight weight,
                 qreal pointSize);

// Convenience: the square box for `pointSize` centred on `centre`.
void paintSymbol(QPainter &painter, Symbol symbol, QPointF centre, const QColor &colour, SymbolWeight weight,
                 qreal pointSize);

// An icon that draws `symbol` at whatever size and device pixel ratio it is
// asked for; the disabled mode uses a faded colour.
QIcon symbolIcon(Symbol symbol, const QColor &colour, SymbolWeight weight = SymbolWeight::regular);

} // namespace pelmora
