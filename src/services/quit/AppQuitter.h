// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "QuitCandidate.h"

#include "models/QuitOutcome.h"

#include <functional>
#include <string>

// Asking an application to quit the way its user would, so that it can save
// or ask first (see QuitRoute.h for the routes, QuitCandidate.h for which
// processes are asked at all, QuitWindows.h for the window system), and
// ending it when nothing can be asked and the user says so.
namespace pelmora {

using QuitAnswer = std::function<void(QuitOutcome)>;

// Asks every process of `app` that pinQuitTargets() accepts, by the first
// route that exists for it. Never waits: the session bus is asked
// asynchronously (with timeouts), and the window requests and signals
// follow on this thread as its answers come in. `done` runs once, on this
// thread, when every request is on its way (at once when there is nothing
// to ask), with what came of it.
void quitApplication(const AppMetric &app, const AppRegistry &registry, const platform::ProcRoot &root,
                     QuitAnswer done);

// The second half: asks pinned targets of the application `appId` named
// `appName`. `procRoot` is where their sockets are read.
void askToQuit(const QString &appId, const QString &appName, PinnedTargets pinned, const std::string &procRoot,
               QuitAnswer done);

// SIGTERM to each process of `app` that pinQuitTargets() accepts: the
// user's own, still the one listed, and pinned. Only for an application
// that nothing could ask, after the user agreed to lose unsaved work.
// Returns how many were signalled.
std::size_t endApplication(const AppMetric &app, const AppRegistry &registry, const platform::ProcRoot &root);

} // namespace pelmora
