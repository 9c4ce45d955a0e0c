// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "PlasmaShellPlacer.h"

#include "WaylandSurface.h"
#include "qwayland-plasma-shell.h"

#include <QWaylandClientExtensionTemplate>
#include <QWidget>

namespace pelmora {

// Version 5 brings skip_switcher; KWin 5.27 offers 8.
class PlasmaShell : public QWaylandClientExtensionTemplate<PlasmaShell>, public QtWayland::org_kde_plasma_shell {
public:
    PlasmaShell() : QWaylandClientExtensionTemplate<PlasmaShell>(8) { initialize(); }
    ~PlasmaShell() override
    {
        if (isInitialized())
            wl_proxy_destroy(reinterpret_cast<wl_proxy *>(object()));
    }
};

class PlasmaSurface : public QtWayland::org_kde_plasma_surface {
public:
    using org_kde_plasma_surface::org_kde_plasma_surface;
    ~PlasmaSurface() override { destroy(); }
};

std::unique_ptr<PlasmaShellPlacer> PlasmaShellPlacer::create()
{
    auto shell = std::make_unique<PlasmaShell>();
    if (!shell->isActive())
        return nullptr;
    return std::unique_ptr<PlasmaShellPlacer>(new PlasmaShellPlacer(std::move(shell)));
}

PlasmaShellPlacer::PlasmaShellPlacer(std::unique_ptr<PlasmaShell> shell) : m_shell(std::move(shell))
{
}

PlasmaShellPlacer::~PlasmaShellPlacer() = default;

void PlasmaShellPlacer::prepare(QWidget &window, const QRect &geometry, const ItemAnchor &anchor)
{
    Q_UNUSED(anchor);
    window.move(geometry.topLeft()); // what Qt believes; the compositor hears it from the shell
}

void PlasmaShellPlacer::shown(QWidget &window, const QRect &geometry)
{
    wl_surface *surface = waylandSurface(window);
    if (!surface || !m_shell->isActive())
        return;
    if (!m_surface) {
        m_surface = std::make_unique<PlasmaSurface>(m_shell->get_surface(surface));
        // Not a window of its own for the task manager or Alt+Tab: it belongs to the item.
        m_surface->set_skip_taskbar(1);
        if (m_surface->version() >= ORG_KDE_PLASMA_SURFACE_SET_SKIP_SWITCHER_SINCE_VERSION)
            m_surface->set_skip_switcher(1);
    }
    m_surface->set_position(geometry.x(), geometry.y());
}

void PlasmaShellPlacer::move(QWidget &window, const QRect &geometry, const ItemAnchor &anchor)
{
    Q_UNUSED(anchor);
    window.move(geometry.topLeft());
    shown(window, geometry);
}

void PlasmaShellPlacer::hiding(QWidget &window)
{
    Q_UNUSED(window);
    m_surface.reset();
}

} // namespace pelmora
