// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SymbolButton.h"

#include "CardPainter.h"
#include "FocusRing.h"
#include "Theme.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

namespace pelmora {
namespace {

// A pressed plain button dims its face.
constexpr qreal pressedOpacity = 0.55;
constexpr qreal labelIconSpacing = 5;

} // namespace

SymbolButton::SymbolButton(const Face &face, QWidget *parent) : QAbstractButton(parent), m_face(face)
{
    setFixedSize(face.size);
    setFocusPolicy(Qt::TabFocus);
}

void SymbolButton::enterEvent(QEnterEvent *event)
{
    m_isHovering = true;
    update();
    QAbstractButton::enterEvent(event);
}

void SymbolButton::leaveEvent(QEvent *event)
{
    m_isHovering = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void SymbolButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (isDown())
        painter.setOpacity(pressedOpacity);
    const QRectF box(QPointF(0, 0), QSizeF(m_face.size));
    const QColor fill = m_isHovering && m_face.hoverFill.alpha() > 0 ? m_face.hoverFill : m_face.fill;
    if (fill.alpha() > 0) {
        QPainterPath shape;
        if (m_face.cornerRadius < 0)
            shape.addEllipse(box);
        else
            shape = continuousRoundedRect(box, m_face.cornerRadius);
        painter.fillPath(shape, fill);
    }
    paintSymbol(painter, m_face.symbol, box.center(), m_face.colour, m_face.weight, m_face.pointSize);
    if (showsFocusRing(this))
        paintFocusRing(painter, box, m_face.cornerRadius < 0 ? box.width() / 2 : m_face.cornerRadius);
}

LabelButton::LabelButton(Symbol symbol, const QString &title, const QColor &colour, QWidget *parent)
    : QAbstractButton(parent), m_symbol(symbol), m_colour(colour)
{
    setText(title);
    setFont(Theme::font(Theme::TextStyle::body));
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize LabelButton::sizeHint() const
{
    const QFontMetricsF fm(font());
    const qreal icon = symbolBoxSide(font().pixelSize());
    return QSize(int(std::ceil(icon + labelIconSpacing + fm.horizontalAdvance(text()))),
                 int(std::ceil(std::max(icon, fm.height()))));
}

void LabelButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (isDown())
        painter.setOpacity(pressedOpacity);
    const QFontMetricsF fm(font());
    const qreal pointSize = font().pixelSize();
    const qreal icon = symbolBoxSide(pointSize);
    const qreal centreY = height() / 2.0;
    paintSymbol(painter, m_symbol, QPointF(icon / 2, centreY), m_colour, SymbolWeight::regular, pointSize);
    painter.setFont(font());
    painter.setPen(m_colour);
    painter.drawText(QPointF(icon + labelIconSpacing, centreY + (fm.ascent() - fm.descent()) / 2), text());
    if (showsFocusRing(this))
        paintFocusRing(painter, rect(), 4, 1.5);
}

} // namespace pelmora
