// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QImage>
#include <QList>
#include <QRect>
#include <QRgb>

namespace pelmora {

// The bounding boxes of the connected patches of pixels within `tolerance` of
// `colour` inside `area` of `shot`, largest first.
QList<QRect> findPatches(const QImage &shot, const QRect &area, QRgb colour, int tolerance = 6);

// The square patches (sides from minSide to maxSide) of any of `colours`
// inside `area`, leaving out those that enclose another: a badge drawn on a
// panel of its own colour is parted from it by its edge.
QList<QRect> findSquares(const QImage &shot, const QRect &area, const QList<QRgb> &colours, int minSide, int maxSide);

// How many pixels of `area` differ between two shots by more than
// `threshold` in some channel (0-255).
int changedPixels(const QImage &a, const QImage &b, const QRect &area, int threshold = 48);

} // namespace pelmora
