#pragma once

#include <QList>

namespace pelmora::ProcessTree {

// The children, grandchildren and so on of `pid`, read from /proc.
QList<qint64> descendants(qint64 pid);

// Sends SIGTERM to `pid` and to each of its descendants (collected first,
// since they are orphaned once their parent dies), waits up to `graceMs` for
// them to end, then sends SIGKILL to whatever is left. Only these PIDs are
// signalled. Reaping `pid` is left to its parent (e.g. QProcess).
void stop(qint64 pid, int graceMs = 2000);

} // namespace pelmora::ProcessTree
