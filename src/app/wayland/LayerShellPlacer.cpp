// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "LayerShellPlacer.h"

#if PELMORA_HAVE_LAYERSHELLQT

#include "app/PopoverPlacement.h"

#include <LayerShellQt/Window>

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <wayland-client.h>

namespace pelmora {
namespace {

constexpr int gap = 6; // as between a panel and the popover elsewhere

using LayerWindow = LayerShellQt::Window;

// Whether the compositor announces zwlr_layer_shell_v1, asked on a
// connection of our own: LayerShellQt only warns when it is missing.
bool compositorOffersLayerShell()
{
    wl_display *display = wl_display_connect(nullptr);
    if (!display)
        return false;
    bool offered = false;
    static const wl_registry_listener listener{
        [](void *data, wl_registry *, uint32_t, const char *interface, uint32_t) {
            if (qstrcmp(interface, "zwlr_layer_shell_v1") == 0)
                *static_cast<bool *>(data) = true;
        },
        [](void *, wl_registry *, uint32_t) {}};
    wl_registry *registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &listener, &offered);
    wl_display_roundtrip(display);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return offered;
}

void configure(QWidget &window, const QRect &geometry, const ItemAnchor &anchor)
{
    window.winId(); // LayerShellQt takes a window before it has a surface
    LayerWindow *layer = LayerWindow::get(window.windowHandle());
    if (!layer)
        return;
    layer->setLayer(LayerWindow::LayerTop);
    layer->setScope(QStringLiteral("pelmora"));
    if (anchor.point) {
        // A place worked out against the screen: counted from its corner, bars or not.
        const QRect screen = window.windowHandle()->screen() ? window.windowHandle()->screen()->geometry() : QRect();
        layer->setExclusiveZone(-1);
        layer->setAnchors(LayerWindow::Anchors(LayerWindow::AnchorTop | LayerWindow::AnchorLeft));
        layer->setMargins(QMargins(geometry.x() - screen.x(), geometry.y() - screen.y(), 0, 0));
        return;
    }
    // By the bar: its edge, the tray's end of it, clear of the bar's own zone.
    const TraySpot spot = anchor.spot;
    const bool horizontal = spot.edge == Qt::TopEdge || spot.edge == Qt::BottomEdge;
    LayerWindow::Anchors anchors;
    anchors |= spot.edge == Qt::TopEdge ? LayerWindow::AnchorTop
        : spot.edge == Qt::BottomEdge   ? LayerWindow::AnchorBottom
        : spot.edge == Qt::LeftEdge     ? LayerWindow::AnchorLeft
                                        : LayerWindow::AnchorRight;
    if (spot.side != TraySpot::Side::centre) {
        const bool start = spot.side == TraySpot::Side::start;
        anchors |= horizontal ? (start ? LayerWindow::AnchorLeft : LayerWindow::AnchorRight)
                              : (start ? LayerWindow::AnchorTop : LayerWindow::AnchorBottom);
    }
    layer->setExclusiveZone(0);
    layer->setAnchors(anchors);
    layer->setMargins(QMargins(gap, gap, gap, gap));
}

} // namespace

std::unique_ptr<LayerShellPlacer> LayerShellPlacer::create()
{
    if (!compositorOffersLayerShell())
        return nullptr;
    return std::make_unique<LayerShellPlacer>();
}

void LayerShellPlacer::prepare(QWidget &window, const QRect &geometry, const ItemAnchor &anchor)
{
    window.move(geometry.topLeft());
    configure(window, geometry, anchor);
    if (LayerWindow *layer = LayerWindow::get(window.windowHandle()))
        layer->setKeyboardInteractivity(LayerWindow::KeyboardInteractivityExclusive);
}

void LayerShellPlacer::move(QWidget &window, const QRect &geometry, const ItemAnchor &anchor)
{
    configure(window, geometry, anchor);
}

} // namespace pelmora

#endif
