// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QIcon>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

namespace pelmora {

// Paints the tray icon. Panels scale icons to roughly 16-48 px and may be dark
// or light, so everything sits on a light rounded badge with dark ink.
class TrayIconRenderer {
public:
    enum class Face {
        title, // the status title itself, "12/63" stacked as 12 over 63
        glyph, // a small monitor, for hosts that draw the title as a text label beside the icon
    };

    // The sizes exported to hosts and put into QIcons.
    static QList<int> sizes();

    // A size x size image, Format_ARGB32_Premultiplied, transparent outside the badge.
    static QImage render(const QString &title, int size, Face face);
    static QIcon icon(const QString &title, Face face);

    // "12/63" -> {"12", "63"}; text without one '/' stays on one line.
    static QStringList titleLines(const QString &title);
};

} // namespace pelmora
