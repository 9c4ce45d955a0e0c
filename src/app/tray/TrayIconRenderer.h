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

// Paints the tray icon. Panels draw icons square, at about 22 px (16-48 px),
// whatever the icon's own shape, and may be dark or light, so everything sits
// on a light rounded badge with dark ink. At 22 px each figure of the stacked
// title is 9 px tall, and three digits ("100") fit a row.
class TrayIconRenderer {
public:
    enum class Face {
        title, // the status title itself, "12/63" stacked as 12 over 63
        glyph, // a small monitor, for hosts that draw the title as a text label beside the icon
    };

    // The sizes exported to hosts and put into QIcons: the common panel sizes
    // and twice the most common. Some hosts (xfce4-panel) take the largest and
    // scale it down, so the largest is twice 22 px, which halves cleanly.
    static QList<int> sizes();

    // A `size` x `size` image, Format_ARGB32_Premultiplied, transparent
    // outside the badge. A multiple of 22 px is the 22 px layout enlarged, so
    // that a host scaling it back to 22 px gets whole pixels.
    static QImage render(const QString &title, int size, Face face);
    // Every exported size of `face`.
    static QIcon icon(const QString &title, Face face);

    // "12/63" -> {"12", "63"}; text without one '/' stays on one line.
    static QStringList titleLines(const QString &title);
};

} // namespace pelmora
