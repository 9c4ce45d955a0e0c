// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

// One row of the host matrix for a Wayland session: sway with waybar, KWin
// with Plasma, GNOME Shell with the AppIndicator extension, or weston (no
// tray). Each: is the item shown, where does a click (or the host's
// Activate) open the panel, how far from the item and inside the free area,
// do keys typed go to the panel's search field and nowhere else, and what
// "Quit …" does to Wayland-native FeatherPad, KWrite and foot.
struct WaylandRow {
    QString host;
    QString item = QStringLiteral("–");
    QString panel = QStringLiteral("–");
    QString keys = QStringLiteral("–");
    QString quit = QStringLiteral("–");
    QString picture = QStringLiteral("–");
    QString note;
};

// `name`: sway-waybar, kwin-wayland, gnome-wayland or weston. The screen with
// the panel open goes to `pictures`/<name>.png.
WaylandRow runWaylandRow(const QString &name, const QString &pelmora, const QString &pictures);
