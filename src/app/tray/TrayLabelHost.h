// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDBusConnection>
#include <QString>

namespace pelmora {

// Some StatusNotifierItem hosts draw XAyatanaLabel as text beside the icon:
// GNOME Shell's AppIndicator extension and the Ayatana/Unity indicator
// services. There the icon must not repeat the title.
namespace TrayLabelHost {

// XDG_CURRENT_DESKTOP is a ':'-separated list such as "ubuntu:GNOME".
bool desktopDrawsLabels(const QString &currentDesktop);

// True when the watcher belongs to GNOME Shell, or an Ayatana/Unity indicator
// service is on the bus. Asks the bus daemon only.
bool busHasLabelHost(const QDBusConnection &bus);

// Either of the above, with the desktop taken from the environment.
bool detect(const QDBusConnection &bus);

} // namespace TrayLabelHost
} // namespace pelmora
