// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QRectF>

class QPainter;
class QWidget;

namespace pelmora {

// Focus is drawn only when it was reached from the keyboard, as buttons do
// on most desktops: `widget` has focus and its window saw a focus change by key.
bool showsFocusRing(const QWidget *widget);

// The ring every focusable control of the popover draws around itself.
void paintFocusRing(QPainter &painter, const QRectF &rect, qreal radius, qreal width = 2);

} // namespace pelmora
