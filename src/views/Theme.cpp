// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Theme.h"

#include <QFontDatabase>

namespace pelmora::Theme {

int pixelSize(TextStyle style)
{
    switch (style) {
    case TextStyle::title3:
        return 15;
    case TextStyle::headline:
    case TextStyle::body:
        return 13;
    case TextStyle::callout:
        return 12;
    case TextStyle::caption:
        return 11;
    case TextStyle::caption2:
        return 10;
    }
    return 13;
}

QFont systemFont(qreal pixelSize, QFont::Weight weight)
{
    QFont f = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    // Pixel sizes keep layout units and text sizes the same at every scale.
    f.setPixelSize(qRound(pixelSize));
    f.setWeight(weight);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

QFont font(TextStyle style, QFont::Weight weight)
{
    return systemFont(pixelSize(style), weight);
}

QFont monospacedFont(TextStyle style, QFont::Weight weight)
{
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    f.setStyleHint(QFont::Monospace);
    f.setFixedPitch(true);
    f.setPixelSize(pixelSize(style));
    f.setWeight(weight);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

QColor primaryLabel()
{
    return QColor(0, 0, 0, 217);
}
QColor secondaryLabel()
{
    return QColor(0, 0, 0, 128);
}
QColor textBackground()
{
    return QColor(255, 255, 255);
}
QColor windowBackground()
{
    return QColor(236, 236, 236);
}
QColor controlBackground()
{
    return QColor(255, 255, 255);
}
QColor separator()
{
    return QColor(0, 0, 0, 26);
}
QColor placeholderText()
{
    return QColor(0, 0, 0, 64);
}
QColor systemBlue()
{
    return QColor(0, 122, 255);
}
QColor systemGreen()
{
    return QColor(40, 205, 65);
}
QColor systemOrange()
{
    return QColor(255, 149, 0);
}
QColor systemRed()
{
    return QColor(255, 59, 48);
}

QColor withOpacity(const QColor &colour, qreal opacity)
{
    QColor c = colour;
    c.setAlphaF(float(colour.alphaF() * opacity));
    return c;
}

namespace {

CardStyle whiteCard(qreal radius, const QColor &edge, const QColor &shadow = {}, qreal blur = 0, qreal drop = 0)
{
    CardStyle style;
    style.radius = radius;
    style.fill = textBackground();
    style.stroke = edge;
    style.shadowColour = shadow;
    style.shadowBlur = blur;
    style.shadowOffset = {0, drop};
    return style;
}

QColor shade(qreal opacity)
{
    return QColor(0, 0, 0, qRound(255 * opacity));
}

} // namespace

CardStyle card(Card kind)
{
    switch (kind) {
    case Card::columnHeader:
        return whiteCard(9, withOpacity(primaryLabel(), 0.07), shade(0.04), 6, 2);
    case Card::searchField:
        return whiteCard(10, withOpacity(primaryLabel(), 0.08), shade(0.05), 8, 2);
    case Card::quitAnswer:
        return whiteCard(10, withOpacity(systemOrange(), 0.45), shade(0.05), 8, 2);
    case Card::appRow:
        return whiteCard(10, withOpacity(primaryLabel(), 0.06), shade(0.03), 8, 2);
    case Card::highlightedAppRow: {
        CardStyle style = whiteCard(10, withOpacity(systemBlue(), 0.2), shade(0.07), 8, 2);
        style.fill = withOpacity(systemBlue(), 0.09);
        return style;
    }
    case Card::processRow:
        return whiteCard(10, withOpacity(primaryLabel(), 0.06));
    }
    return whiteCard(10, withOpacity(primaryLabel(), 0.06));
}

CardStyle tileCard(const QColor &tint)
{
    return whiteCard(12, withOpacity(tint, 0.16), withOpacity(tint, 0.12), 10, 3);
}

} // namespace pelmora::Theme
