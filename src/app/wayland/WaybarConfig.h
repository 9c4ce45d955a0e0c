// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "app/PopoverPlacement.h"

#include <QByteArray>
#include <QStringList>

#include <optional>

namespace pelmora {

// Where waybar shows its tray, read from its configuration: waybar tells a
// clicked item only the click's position inside the item, so the bar's edge
// ("position", top by default) and the module group that holds "tray"
// (modules-left, -center or -right) are all there is to go by.
//
// `text` is waybar's JSON with comments (and trailing commas), one bar or a
// list of bars; the first bar with a tray counts. Nothing for text that is
// not such a configuration or has no tray.
std::optional<TraySpot> waybarTraySpot(const QByteArray &text);

// The same from the first configuration file waybar would read among
// `configFolders` (each holding waybar/config or waybar/config.jsonc, in the
// order waybar searches: $XDG_CONFIG_HOME, then $XDG_CONFIG_DIRS).
std::optional<TraySpot> readWaybarTraySpot(const QStringList &configFolders);

} // namespace pelmora
