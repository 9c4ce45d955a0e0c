// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QStringList>

#include <string_view>

// Desktop applications started by a desktop environment run in their own
// systemd unit, named after the desktop file that launched them (systemd's
// "Desktop Environment Integration" document):
//   app-[<launcher>-]<appid>[@<random>].service
//   app-[<launcher>-]<appid>-<random>.scope
//   snap.<snap>.<app>-<uuid>.scope            (desktop id <snap>_<app>)
// These functions turn a process's control group into the desktop file ids
// that its unit may name. They never touch the file system.
namespace pelmora {

// The desktop ids ("org.gnome.Evince.desktop") named by one unit name, most
// specific first: the launcher segment cannot be told apart from the start
// of the application id, so the id is given with and without it. Escapes
// (`\xNN`) are undone after splitting. Empty for units that are not
// applications (session scopes, terminal tab scopes, user@.service, ...).
QStringList desktopIdsFromUnit(std::string_view unitName);

// The desktop ids named by the deepest unit in the text of /proc/PID/cgroup:
// the unified hierarchy ("0::") first, else systemd's own v1 hierarchy
// ("name=systemd"). Empty when that unit is not an application or the text
// is malformed.
QStringList desktopIdsFromCgroup(std::string_view cgroupText);

} // namespace pelmora
