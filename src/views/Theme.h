// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "CardPainter.h"

#include <QColor>
#include <QFont>

// The popover's look, defined once: text styles as pixel sizes in
// device-independent pixels (1 point = 1 unit), the fixed-width figure face,
// and the semantic colours as fixed light values whatever the desktop theme.
namespace pelmora::Theme {

enum class TextStyle { title3, headline, body, callout, caption, caption2 };

// Pixel size of a text style; each is larger than the next one down the list.
int pixelSize(TextStyle style);

QFont font(TextStyle style, QFont::Weight weight = QFont::Normal);
QFont systemFont(qreal pixelSize, QFont::Weight weight = QFont::Normal);
// The fixed-width face used for every figure in the lists.
QFont monospacedFont(TextStyle style, QFont::Weight weight = QFont::Normal);

QColor primaryLabel();
QColor secondaryLabel();
QColor textBackground();
QColor windowBackground();
QColor controlBackground();
QColor separator();
QColor placeholderText();
QColor systemBlue();
QColor systemGreen();
QColor systemOrange();
QColor systemRed();

// `colour` with its own alpha multiplied by `opacity`.
QColor withOpacity(const QColor &colour, qreal opacity);

// The popover's cards: white (a highlighted row tinted blue), a hairline
// inside the edge and a soft shadow below, differing only in those numbers.
enum class Card { columnHeader, searchField, quitAnswer, appRow, highlightedAppRow, processRow };
CardStyle card(Card kind);
// A summary tile: edge and shadow in the tint of its figure.
CardStyle tileCard(const QColor &tint);

} // namespace pelmora::Theme
