// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "app/PanelPlacer.h"

#include <memory>

namespace pelmora {

class PlasmaShell;
class PlasmaSurface;

// KWin's org_kde_plasma_shell: the panel stays an ordinary Wayland window
// (it takes the keyboard like one), and the shell lets it say where it goes
// and keep out of the task manager and the window switcher.
class PlasmaShellPlacer : public PanelPlacer {
public:
    // Nothing when the compositor does not offer the shell.
    static std::unique_ptr<PlasmaShellPlacer> create();
    ~PlasmaShellPlacer() override;

    Mechanism mechanism() const override { return Mechanism::plasmaShell; }
    void prepare(QWidget &window, const QRect &geometry, const ItemAnchor &anchor) override;
    void shown(QWidget &window, const QRect &geometry) override;
    void move(QWidget &window, const QRect &geometry, const ItemAnchor &anchor) override;
    void hiding(QWidget &window) override;

private:
    explicit PlasmaShellPlacer(std::unique_ptr<PlasmaShell> shell);

    std::unique_ptr<PlasmaShell> m_shell;
    // Qt makes a new surface each time the window is shown; this one's
    // extension goes before it.
    std::unique_ptr<PlasmaSurface> m_surface;
};

} // namespace pelmora
