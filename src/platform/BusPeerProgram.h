// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "ProcFs.h"

#include <QDBusConnection>
#include <QString>

// Which program is behind a connection on a bus: the bus daemon tells the
// process, the kernel its name.
namespace pelmora::platform {

// The process name (/proc/PID/comm) of the connection `uniqueName` on `bus`;
// empty when the bus does not tell within `timeoutMs` or the process is gone.
// Names what called us, for choices that may be wrong without harm: never
// proof of who someone is.
QString busPeerProgram(const QDBusConnection &bus, const QString &uniqueName, const ProcRoot &proc,
                       int timeoutMs = 250);

} // namespace pelmora::platform
