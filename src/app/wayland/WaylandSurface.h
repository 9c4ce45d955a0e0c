// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

struct wl_surface;
class QWidget;

namespace pelmora {

// The Wayland surface of a shown top-level widget; nullptr when it has none
// (hidden, or not a Wayland window).
wl_surface *waylandSurface(QWidget &window);

} // namespace pelmora
