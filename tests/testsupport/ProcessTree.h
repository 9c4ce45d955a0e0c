// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QList>

namespace pelmora::ProcessTree {

// The children, grandchildren and so on of `pid`, read from /proc.
QList<qint64> descendants(qint64 pid);

// SIGTERM to `pid` and its descendants (collected first: they are orphaned
// once it dies), SIGKILL to whatever is left after `graceMs`. Only these
// PIDs are signalled; reaping `pid` is left to its parent.
void stop(qint64 pid, int graceMs = 2000);

} // namespace pelmora::ProcessTree
