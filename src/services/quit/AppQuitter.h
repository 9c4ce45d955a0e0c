// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "QuitCandidate.h"

#include <string>
#include <vector>

// Asking an application to quit the way its user would, so that it can save
// or ask first (see QuitRoute.h for the routes, QuitCandidate.h for which
// processes are asked at all).
namespace pelmora {

// Asks every process of `app` that pinQuitTargets() accepts, by the first
// route that exists for it. Returns at once and never waits: the session bus
// is asked asynchronously, and the window requests and signals follow on
// this thread as its answers come in. Failures are silent.
void quitApplication(const AppMetric &app, const AppRegistry &registry, const platform::ProcRoot &root);

// The second half: asks pinned targets. `procRoot` is where their sockets are read.
void askToQuit(std::vector<QuitTarget> targets, const std::string &procRoot);

} // namespace pelmora
