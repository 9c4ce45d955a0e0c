// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "WaylandSurface.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <qpa/qplatformnativeinterface.h>

namespace pelmora {

wl_surface *waylandSurface(QWidget &window)
{
    QWindow *handle = window.windowHandle();
    QPlatformNativeInterface *native = QGuiApplication::platformNativeInterface();
    if (!handle || !native || QGuiApplication::platformName() != QLatin1String("wayland"))
        return nullptr;
    return static_cast<wl_surface *>(native->nativeResourceForWindow("surface", handle));
}

} // namespace pelmora
