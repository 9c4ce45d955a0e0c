#pragma once

class QApplication;

namespace pelmora {

// The whole program is drawn light whatever the desktop theme: Fusion with a
// fixed light palette built from the popover's own colours.
void applyLightAppearance(QApplication &app);

} // namespace pelmora
