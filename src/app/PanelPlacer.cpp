// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "PanelPlacer.h"

#include "wayland/PlasmaShellPlacer.h"
#include "wayland/SwayPlacer.h"
#if PELMORA_HAVE_LAYERSHELLQT
#include "wayland/LayerShellPlacer.h"
#endif

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace pelmora {
namespace {

// GNOME Shell, weston and the rest: the compositor places a new window
// itself, and a client has no say.
class CompositorPlacer : public PanelPlacer {
public:
    Mechanism mechanism() const override { return Mechanism::compositor; }
    void prepare(QWidget &, const QRect &, const ItemAnchor &) override { }
    void move(QWidget &, const QRect &, const ItemAnchor &) override { }
};

} // namespace

QRect PanelPlacer::freeArea(const QScreen &screen) const
{
    // Scaled by a factor that does not divide the reserved strip, Qt rounds
    // the free area's top and height both up: it would end below the screen.
    return screen.availableGeometry().intersected(screen.geometry());
}

void PanelPlacer::prepare(QWidget &window, const QRect &geometry, const ItemAnchor &anchor)
{
    Q_UNUSED(anchor);
    window.move(geometry.topLeft());
}

void PanelPlacer::shown(QWidget &window, const QRect &geometry)
{
    Q_UNUSED(window);
    Q_UNUSED(geometry);
}

void PanelPlacer::move(QWidget &window, const QRect &geometry, const ItemAnchor &anchor)
{
    prepare(window, geometry, anchor);
}

void PanelPlacer::hiding(QWidget &window)
{
    Q_UNUSED(window);
}

std::unique_ptr<PanelPlacer> makePanelPlacer()
{
    // X11: the window moves itself. Sway ignores where an XWayland window
    // asks to go, but its IPC places it as it places a Wayland one.
    if (QGuiApplication::platformName() != QLatin1String("wayland")) {
        if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
            if (auto sway = SwayPlacer::create(qEnvironmentVariable("SWAYSOCK")))
                return sway;
        return std::make_unique<PanelPlacer>();
    }
    // KWin and sway: the panel stays a window that the compositor focuses
    // like any other, and so takes it from when the user clicks elsewhere.
    if (auto plasma = PlasmaShellPlacer::create())
        return plasma;
    if (auto sway = SwayPlacer::create(qEnvironmentVariable("SWAYSOCK")))
        return sway;
#if PELMORA_HAVE_LAYERSHELLQT
    // Other wlroots compositors: a layer surface, anchored by the bar.
    if (auto layer = LayerShellPlacer::create())
        return layer;
#endif
    return std::make_unique<CompositorPlacer>();
}

QString mechanismName(PanelPlacer::Mechanism mechanism)
{
    switch (mechanism) {
    case PanelPlacer::Mechanism::x11:
        return QStringLiteral("x11");
    case PanelPlacer::Mechanism::layerShell:
        return QStringLiteral("layer-shell");
    case PanelPlacer::Mechanism::plasmaShell:
        return QStringLiteral("plasma-shell");
    case PanelPlacer::Mechanism::swayIpc:
        return QStringLiteral("sway-ipc");
    case PanelPlacer::Mechanism::compositor:
        return QStringLiteral("compositor");
    }
    return {};
}

} // namespace pelmora
