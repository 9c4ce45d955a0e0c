// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Where org.kde.StatusNotifierWatcher lives; the panel (or a daemon) owns it.
namespace pelmora::sni {

inline constexpr const char *watcherService = "org.kde.StatusNotifierWatcher";
inline constexpr const char *watcherPath = "/StatusNotifierWatcher";
inline constexpr const char *watcherInterface = "org.kde.StatusNotifierWatcher";

} // namespace pelmora::sni
