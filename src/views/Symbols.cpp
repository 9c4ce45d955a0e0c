// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Symbols.h"

#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QPixmap>

#include <array>
#include <cmath>
#include <utility>

namespace pelmora {
namespace {

// Every symbol is designed on a 24 by 24 grid.
constexpr qreal grid = 24.0;

struct Named {
    Symbol symbol;
    const char *name;
};

constexpr std::array<Named, 12> names{{
    {Symbol::chartLineUptrendXYAxis, "chart.line.uptrend.xyaxis"},
    {Symbol::xmark, "xmark"},
    {Symbol::xmarkCircleFill, "xmark.circle.fill"},
    {Symbol::magnifyingGlass, "magnifyingglass"},
    {Symbol::cpu, "cpu"},
    {Symbol::memoryChip, "memorychip"},
    {Symbol::chevronDown, "chevron.down"},
    {Symbol::chevronLeft, "chevron.left"},
    {Symbol::gearShape, "gearshape"},
    {Symbol::power, "power"},
    {Symbol::arrowClockwise, "arrow.clockwise"},
    {Symbol::filterCircle, "line.3.horizontal.decrease.circle"},
}};

// Stroke width in output units per unit of point size.
qreal strokeFactor(SymbolWeight weight)
{
    switch (weight) {
    case SymbolWeight::regular:
        return 0.085;
    case SymbolWeight::medium:
        return 0.10;
    case SymbolWeight::semibold:
        return 0.115;
    case SymbolWeight::bold:
        return 0.135;
    }
    return 0.085;
}

QPainterPath polyline(std::initializer_list<QPointF> points)
{
    QPainterPath path;
    bool first = true;
    for (QPointF p : points) {
        if (first)
            path.moveTo(p);
        else
            path.lineTo(p);
        first = false;
    }
    return path;
}

QPainterPath line(qreal x1, qreal y1, qreal x2, qreal y2)
{
    return polyline({{x1, y1}, {x2, y2}});
}

QPainterPath circle(qreal cx, qreal cy, qreal r)
{
    QPainterPath path;
    path.addEllipse(QPointF(cx, cy), r, r);
    return path;
}

QPainterPath roundedRect(qreal x, qreal y, qreal w, qreal h, qreal r)
{
    QPainterPath path;
    path.addRoundedRect(QRectF(x, y, w, h), r, r);
    return path;
}

QPainterPath outline(const QPainterPath &path, qreal width)
{
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setCapStyle(Qt::RoundCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    return stroker.createStroke(path);
}

QPainterPath gear()
{
    QPainterPath teeth;
    for (int i = 0; i < 8; ++i) {
        QTransform t;
        t.translate(12, 12);
        t.rotate(i * 45.0);
        teeth.addPolygon(t.map(QPolygonF(QRectF(-2.1, -10.6, 4.2, 5.0))));
        teeth.closeSubpath();
    }
    QPainterPath body = circle(12, 12, 7.6).united(teeth);
    return body.subtracted(circle(12, 12, 3.3)).simplified();
}

// The pieces of one symbol: paths stroked with the weight's width, and
// paths filled as they are (both in grid units).
struct Drawing {
    QList<QPainterPath> strokes;
    QList<QPainterPath> fills;
};

Drawing drawingFor(Symbol symbol, qreal strokeWidth)
{
    switch (symbol) {
    case Symbol::chartLineUptrendXYAxis:
        return {{polyline({{3.5, 3.0}, {3.5, 20.5}, {21.0, 20.5}}),
                 polyline({{7.0, 16.0}, {11.0, 10.5}, {14.5, 13.5}, {20.0, 6.0}})},
                {}};
    case Symbol::xmark:
        return {{line(6.5, 6.5, 17.5, 17.5), line(17.5, 6.5, 6.5, 17.5)}, {}};
    case Symbol::xmarkCircleFill: {
        QPainterPath cross = line(8.4, 8.4, 15.6, 15.6);
        cross.addPath(line(15.6, 8.4, 8.4, 15.6));
        return {{}, {circle(12, 12, 10.5).subtracted(outline(cross, 2.3))}};
    }
    case Symbol::magnifyingGlass:
        return {{circle(10.3, 10.3, 6.6), line(15.2, 15.2, 20.6, 20.6)}, {}};
    case Symbol::cpu: {
        Drawing d{{roundedRect(5.5, 5.5, 13, 13, 2.2)}, {roundedRect(9.3, 9.3, 5.4, 5.4, 1.0)}};
        for (qreal t : {8.8, 12.0, 15.2}) {
            d.strokes << line(t, 2.2, t, 5.5) << line(t, 18.5, t, 21.8) << line(2.2, t, 5.5, t)
                      << line(18.5, t, 21.8, t);
        }
        return d;
    }
    case Symbol::memoryChip: {
        Drawing d{{roundedRect(2.5, 7.0, 19, 10, 1.6)}, {}};
        for (qreal x : {6.5, 10.0, 14.0, 17.5})
            d.strokes << line(x, 17.0, x, 20.8) << line(x, 3.2, x, 7.0);
        d.fills << roundedRect(5.6, 10.2, 12.8, 3.6, 0.9);
        return d;
    }
    case Symbol::chevronDown:
        return {{polyline({{5.0, 8.5}, {12.0, 15.5}, {19.0, 8.5}})}, {}};
    case Symbol::chevronLeft:
        return {{polyline({{15.5, 4.5}, {8.0, 12.0}, {15.5, 19.5}})}, {}};
    case Symbol::gearShape:
        return {{}, {gear()}};
    case Symbol::power: {
        QPainterPath arc;
        arc.arcMoveTo(QRectF(4.2, 5.2, 15.6, 15.6), 58);
        arc.arcTo(QRectF(4.2, 5.2, 15.6, 15.6), 58, -296);
        return {{arc, line(12, 2.6, 12, 11.8)}, {}};
    }
    case Symbol::arrowClockwise: {
        const QRectF r(4.3, 5.0, 15.4, 15.4);
        QPainterPath arc;
        arc.arcMoveTo(r, 22);
        arc.arcTo(r, 22, -290);
        // Head at the arc's top end, pointing along the clockwise direction.
        QPainterPath head;
        const qreal w = strokeWidth * 0.5;
        head.moveTo(10.6, 5.0 - 3.6 - w * 0.4);
        head.lineTo(15.6 + w * 0.6, 5.0);
        head.lineTo(10.6, 5.0 + 3.6 + w * 0.4);
        head.closeSubpath();
        return {{arc}, {head}};
    }
    case Symbol::filterCircle:
        return {
            {circle(12, 12, 9.6), line(7.6, 8.6, 16.4, 8.6), line(9.4, 12.0, 14.6, 12.0), line(11.0, 15.4, 13.0, 15.4)},
            {}};
    }
    return {};
}

// One filled outline per symbol and stroke width, so a translucent colour
// never darkens where strokes cross. Built on first use; main thread only.
QPainterPath shapeOf(Symbol symbol, qreal strokeWidth)
{
    static QHash<std::pair<int, int>, QPainterPath> cache;
    const std::pair<int, int> key{int(symbol), qRound(strokeWidth * 64)};
    if (auto it = cache.constFind(key); it != cache.cend())
        return *it;
    const Drawing d = drawingFor(symbol, strokeWidth);
    QPainterPath shape;
    shape.setFillRule(Qt::WindingFill);
    for (const QPainterPath &path : d.strokes)
        shape = shape.united(outline(path, strokeWidth));
    for (const QPainterPath &path : d.fills)
        shape = shape.united(path);
    if (cache.size() > 256)
        cache.clear();
    cache.insert(key, shape);
    return shape;
}

class SymbolIconEngine final : public QIconEngine {
public:
    SymbolIconEngine(Symbol symbol, QColor colour, SymbolWeight weight)
        : m_symbol(symbol), m_colour(std::move(colour)), m_weight(weight)
    {
    }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State) override
    {
        const qreal side = std::min(rect.width(), rect.height());
        // An icon fills its square the way a glyph fills its box.
        paintSymbol(*painter, m_symbol, QRectF(rect).center(), colourFor(mode), m_weight, side / symbolBoxSide(1.0));
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return scaledPixmap(size, mode, state, 1.0);
    }

    QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        QPixmap pm(size * scale);
        pm.setDevicePixelRatio(scale);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        paint(&p, QRect(QPoint(0, 0), size), mode, state);
        return pm;
    }

    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override { return size; }
    QIconEngine *clone() const override { return new SymbolIconEngine(m_symbol, m_colour, m_weight); }
    QString key() const override { return QStringLiteral("pelmora.symbol"); }
    QString iconName() override { return symbolName(m_symbol); }

private:
    QColor colourFor(QIcon::Mode mode) const
    {
        QColor c = m_colour;
        if (mode == QIcon::Disabled)
            c.setAlphaF(c.alphaF() * 0.35f);
        return c;
    }

    Symbol m_symbol;
    QColor m_colour;
    SymbolWeight m_weight;
};

} // namespace

QString symbolName(Symbol symbol)
{
    for (const Named &n : names) {
        if (n.symbol == symbol)
            return QString::fromLatin1(n.name);
    }
    return {};
}

std::optional<Symbol> symbolNamed(const QString &name)
{
    for (const Named &n : names) {
        if (name == QLatin1StringView(n.name))
            return n.symbol;
    }
    return std::nullopt;
}

qreal symbolBoxSide(qreal pointSize)
{
    return pointSize * 1.2;
}

void paintSymbol(QPainter &painter, Symbol symbol, const QRectF &box, const QColor &colour, SymbolWeight weight,
                 qreal pointSize)
{
    const qreal side = std::min(box.width(), box.height());
    if (side <= 0)
        return;
    const qreal scale = side / grid;
    const qreal strokeWidth = pointSize * strokeFactor(weight) / scale;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.translate(box.center().x() - side / 2, box.center().y() - side / 2);
    painter.scale(scale, scale);
    painter.fillPath(shapeOf(symbol, strokeWidth), colour);
    painter.restore();
}

void paintSymbol(QPainter &painter, Symbol symbol, QPointF centre, const QColor &colour, SymbolWeight weight,
                 qreal pointSize)
{
    const qreal side = symbolBoxSide(pointSize);
    paintSymbol(painter, symbol, QRectF(centre.x() - side / 2, centre.y() - side / 2, side, side), colour, weight,
                pointSize);
}

QIcon symbolIcon(Symbol symbol, const QColor &colour, SymbolWeight weight)
{
    return QIcon(new SymbolIconEngine(symbol, colour, weight));
}

} // namespace pelmora
