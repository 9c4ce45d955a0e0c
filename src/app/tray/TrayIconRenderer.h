// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QIcon>
#include <QImage>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

namespace pelmora {

// Paints the tray icon. Panels draw icons at about 22 px (16-48 px) and may be
// dark or light, so everything sits on a light rounded badge with dark ink.
// At 22 px each figure of the stacked title is 9 px tall, and three digits
// ("100") fit a row.
class TrayIconRenderer {
public:
    enum class Face {
        title, // the status title itself, "12/63" stacked as 12 over 63, square
        wide,  // the status title on one line, "12/63", about 2.6 times as wide as high
        glyph, // a small monitor, for hosts that draw the title as a text label beside the icon
    };

    // The square sizes exported to hosts and put into QIcons.
    static QList<int> sizes();
    // The image size of `face` for a panel drawing icons `height` px high.
    static QSize imageSize(Face face, int height);

    // An image of imageSize(face, height), Format_ARGB32_Premultiplied,
    // transparent outside the badge.
    static QImage render(const QString &title, int height, Face face);
    // Every exported size of `face`.
    static QIcon icon(const QString &title, Face face);

    // "12/63" -> {"12", "63"}; text without one '/' stays on one line.
    static QStringList titleLines(const QString &title);
};

} // namespace pelmora
