// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>

namespace pelmora::platform {

// The name the running X11 window manager gives itself (_NET_WM_NAME of its
// EWMH check window, "KWin", "Openbox", ...) on $DISPLAY; empty when none
// runs, it names none, or there is no display.
std::string x11WindowManagerName();

} // namespace pelmora::platform
