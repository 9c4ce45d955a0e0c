// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

namespace pelmora {

// The application's id: the name of its desktop entry, AppStream component
// and icon (data/), and the desktop file name the windows announce.
inline constexpr char appId[] = "org.pelmora.Pelmora";

} // namespace pelmora
