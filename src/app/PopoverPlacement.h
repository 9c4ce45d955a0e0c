#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace pelmora {

// Where the popover goes for a click at `anchor` (global device-independent
// coordinates): centred under the point when it lies in the upper half of the
// screen (a top panel), above it otherwise, and always inside `available`.
QRect popoverGeometry(QSize size, QPoint anchor, const QRect &available);

} // namespace pelmora
