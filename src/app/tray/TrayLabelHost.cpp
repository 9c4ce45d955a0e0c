// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/tray/TrayLabelHost.h"

#include "app/tray/StatusNotifierWatcherNames.h"

#include <QDBusConnectionInterface>
#include <QStringList>

namespace pelmora::TrayLabelHost {

bool desktopDrawsLabels(const QString &currentDesktop)
{
    const QStringList desktops = currentDesktop.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString &desktop : desktops) {
        const QString name = desktop.trimmed();
        for (const char *labelDesktop : {"GNOME", "Unity", "ubuntu"})
            if (name.compare(QLatin1String(labelDesktop), Qt::CaseInsensitive) == 0)
                return true;
    }
    return false;
}

bool busHasLabelHost(const QDBusConnection &bus)
{
    QDBusConnectionInterface *daemon = bus.isConnected() ? bus.interface() : nullptr;
    if (!daemon)
        return false;
    for (const char *service : {"org.ayatana.indicator.application", "com.canonical.indicator.application"})
        if (daemon->isServiceRegistered(QLatin1String(service)))
            return true;
    // The AppIndicator extension runs the watcher inside gnome-shell itself.
    const QString watcherOwner = daemon->serviceOwner(QLatin1String(sni::watcherService));
    return !watcherOwner.isEmpty() && watcherOwner == daemon->serviceOwner(QStringLiteral("org.gnome.Shell")).value();
}

bool detect(const QDBusConnection &bus)
{
    return desktopDrawsLabels(qEnvironmentVariable("XDG_CURRENT_DESKTOP")) || busHasLabelHost(bus);
}

} // namespace pelmora::TrayLabelHost
