// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "AppRegistry.h"
#include "models/AppMetric.h"
#include "platform/ProcFs.h"

#include <QList>

#include <cstdint>

// Quitting an application politely: SIGTERM, which an application may catch
// to save its work and exit in its own way.
namespace pelmora {

// Whether `pid`, as `root` shows it at this moment, is a process to ask:
// above 1, owned (by `registry`'s judgement) by an application whose
// lower-cased name is `app.id`, and a top process of it, one whose parent is
// not owned by that same application (a parent that is pid 1 or cannot be
// read is not). Children are left to their parent to end.
bool shouldSignal(const AppMetric &app, std::int32_t pid, const AppRegistry &registry,
                  const platform::ProcRoot &root);

// Sends SIGTERM to each process of `app.processes`, in order, that
// shouldSignal() accepts. The process is pinned with a pidfd before it is
// checked, so a pid reused in the meantime is never signalled. `root` must be
// the live /proc. Failures (the process ended, another user's process) are
// silent. Returns the pids that were signalled.
QList<std::int32_t> quitApplication(const AppMetric &app, const AppRegistry &registry,
                                    const platform::ProcRoot &root);

} // namespace pelmora
