// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "models/QuitOutcome.h"
#include "platform/SessionBusActions.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <span>

// How one process is asked to quit: the first of these that exists.
//   1. the application's own Quit command (a GApplication's "quit" action),
//      on a bus connection proven to be the process's own;
//   2. the close button of each of its top-level windows, those the window
//      system proves to be its own;
//   3. SIGTERM, only for a process that cannot hold a window at all: one
//      talking to any display server might hold windows on a display, or
//      hidden ones, that nobody can ask politely, so it is left alone.
// These are the decisions alone, on facts gathered elsewhere.
namespace pelmora {

enum class QuitRoute { ownQuitCommand, closeWindows, terminate, none };

struct RouteFacts {
    bool hasQuitAction = false;
    std::size_t closableWindows = 0; // its windows that take a close request
    std::size_t unclosableWindows = 0; // its windows that do not: only killing would close them
    bool mayHoldUnseenWindows = true; // connected to a display server, or that cannot be ruled out
    bool windowSystemAttributes = true; // the window system can say whose a window is at all
};

struct RouteChoice {
    QuitRoute route = QuitRoute::none;
    QuitOutcome::Reason reason = QuitOutcome::Reason::none; // why, for QuitRoute::none
};

RouteChoice chooseRoute(const RouteFacts &facts);

// What the bus says about one connection that may carry a process's Quit.
struct BusConnectionFacts {
    std::optional<quint32> reportedPid; // by GetConnectionUnixProcessID, in the bus's pid namespace
    // Its credentials carried a ProcessFD (a pidfd of the process that
    // connected), and the pid that names here now: nothing once it is gone.
    bool offersProcessHandle = false;
    std::optional<std::int32_t> handlePid;
    bool busSharesPidNamespace = false;
    std::size_t connectionsWithPid = 0; // connections the bus attributes to reportedPid
    std::optional<std::size_t> targetConnections; // the target's own connections to the bus; nothing: uncountable
};

// Whether the connection is the target's own. A bus pid only says which
// process connected, perhaps long ago: that process may have handed the
// connection to a child and ended, and its pid since gone to the target. A
// ProcessFD settles it; without one the pid must be of our namespace, and
// the target must hold exactly as many connections to the bus as the bus
// attributes to its pid, so none of them can be somebody else's.
bool isTargetsConnection(const BusConnectionFacts &facts, std::int32_t targetPid);

// Where a GApplication that owns `busName` exports its actions: "/" and the
// name with '.' as '/' and '-' as '_'. Empty for a name that gives no valid path.
QString applicationObjectPath(const QString &busName);

// An enabled action that takes no parameter is what the user's Quit runs.
bool isPlainAction(const std::optional<platform::ActionDescription> &description);

// The outcome for an application from the choices made for its pinned
// processes (those still running when asked) and whether other users' or
// vanished processes were left out.
QuitOutcome outcomeOf(const QString &appId, const QString &appName, std::span<const RouteChoice> choices,
                      bool othersOwnSome);

} // namespace pelmora
