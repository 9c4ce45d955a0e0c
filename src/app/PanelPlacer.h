// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "PopoverPlacement.h"

#include <QRect>
#include <QString>

#include <memory>

class QScreen;
class QWidget;

namespace pelmora {

// How the panel's window gets to its place on this desktop. On X11 a window
// moves itself; a Wayland client cannot, so each compositor needs its own
// way (or places the window itself, where it offers none).
class PanelPlacer {
public:
    enum class Mechanism { x11, layerShell, plasmaShell, swayIpc, compositor };

    virtual ~PanelPlacer() = default;
    virtual Mechanism mechanism() const { return Mechanism::x11; }

    // The part of `screen` that bars leave free, as far as this desktop tells.
    virtual QRect freeArea(const QScreen &screen) const;
    // Before the window is shown (its native window may not exist yet):
    // `geometry` is where it belongs, `anchor` what that was made from.
    virtual void prepare(QWidget &window, const QRect &geometry, const ItemAnchor &anchor);
    // Right after show(): the native surface exists, nothing is drawn yet.
    virtual void shown(QWidget &window, const QRect &geometry);
    // Moves the shown window (its height changed).
    virtual void move(QWidget &window, const QRect &geometry, const ItemAnchor &anchor);
    // Just before the window hides, while its native surface still exists.
    virtual void hiding(QWidget &window);
};

// The way this session offers, picked once the application exists.
std::unique_ptr<PanelPlacer> makePanelPlacer();

QString mechanismName(PanelPlacer::Mechanism mechanism);

} // namespace pelmora
