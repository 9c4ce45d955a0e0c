// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QColor>
#include <QMarginsF>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>

class QPainter;

// Rounded cards: fill, a 1-unit stroke inside the edge, and a soft shadow.
// Shadows are blurred once per shape and reused from a cache, so painting a
// card costs one image blit however many cards are on screen.
namespace pelmora {

// A rectangle with continuous ("smooth") corners: the curvature eases into
// the straight edges instead of jumping like a circular arc.
QPainterPath continuousRoundedRect(const QRectF &rect, qreal radius);

struct CardStyle {
    qreal radius = 10;
    QColor fill;
    QColor stroke; // a 1-unit line inside the edge; transparent for none
    QColor shadowColour; // transparent for none
    qreal shadowBlur = 0; // the blur radius; the Gaussian's sigma is half of it
    QPointF shadowOffset;
};

// How far the shadow of a card reaches beyond its rectangle on each side.
QMarginsF shadowReach(const CardStyle &style);

// Shadow, fill and stroke.
void paintCard(QPainter &painter, const QRectF &rect, const CardStyle &style);
// The shadow alone, for a host that paints it beneath a card widget.
void paintCardShadow(QPainter &painter, const QRectF &rect, const CardStyle &style);

// Number of blurred shadow images held; for tests of the cache.
int cachedShadowCount();

} // namespace pelmora
