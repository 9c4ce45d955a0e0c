// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#if PELMORA_HAVE_LAYERSHELLQT

#include "app/PanelPlacer.h"

#include <memory>

namespace pelmora {

// zwlr_layer_shell_v1 through LayerShellQt (Debian 13 builds it for Qt 6),
// for wlroots compositors other than sway: the panel is a layer surface above
// the windows, with no task-manager entry, holding the keyboard exclusively
// while it is open (sway 1.10 gives an on-demand layer surface the keyboard
// only when it is clicked, and takes it back as soon as the claim is
// dropped). A click elsewhere cannot close it then; Escape and the item do. An item known by its bar's spot
// is anchored to that edge and corner, and the compositor keeps the panel
// clear of the bar; an item known by its point gets the place worked out
// for it, counted from the output's corner.
class LayerShellPlacer : public PanelPlacer {
public:
    // Nothing when the compositor offers no layer shell.
    static std::unique_ptr<LayerShellPlacer> create();

    Mechanism mechanism() const override { return Mechanism::layerShell; }
    void prepare(QWidget &window, const QRect &geometry, const ItemAnchor &anchor) override;
    void move(QWidget &window, const QRect &geometry, const ItemAnchor &anchor) override;
};

} // namespace pelmora

#endif
