// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

class QApplication;

namespace pelmora {

// The whole program is drawn light whatever the desktop theme: Fusion with a
// fixed light palette built from the popover's own colours.
void applyLightAppearance(QApplication &app);

} // namespace pelmora
