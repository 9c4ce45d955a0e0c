// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/SessionBusActions.h"
#include "platform/X11Windows.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

// How one process is asked to quit: the first of these that exists.
//   1. the application's own Quit command (a GApplication's "quit" action);
//   2. the close button of each of its top-level windows;
//   3. SIGTERM, only for a process that cannot hold a window at all: one
//      talking to any display server might hold windows on a display, or
//      hidden ones, that nobody can ask politely, so it is left alone.
namespace pelmora {

enum class QuitRoute { ownQuitCommand, closeWindows, terminate, leaveAlone };

struct RouteFacts {
    bool hasQuitAction = false;
    std::size_t closableWindows = 0;   // its windows that take WM_DELETE_WINDOW
    std::size_t unclosableWindows = 0; // its windows that do not: only killing would close them
    bool mayHoldUnseenWindows = true;  // connected to a display server, or that cannot be ruled out
};

QuitRoute chooseRoute(const RouteFacts &facts);

// The windows that `pid` on this machine (`clientMachine`) declares its own.
std::vector<platform::X11ClientWindow> windowsOf(std::span<const platform::X11ClientWindow> windows,
                                                 std::uint32_t pid, std::string_view clientMachine);

enum class CloseRequest { none, throughWindowManager, deleteWindow };

// As its title-bar button would ask: through the window manager where it
// closes windows, otherwise directly. A window that does not take
// WM_DELETE_WINDOW can only be killed, so it is not asked at all.
CloseRequest closeRequestFor(const platform::X11ClientWindow &window, bool windowManagerClosesWindows);

// Where a GApplication that owns `busName` exports its actions: "/" and the
// name with '.' as '/' and '-' as '_'. Empty for a name that gives no valid path.
QString applicationObjectPath(const QString &busName);

// An enabled action that takes no parameter is what the user's Quit runs.
bool isPlainAction(const std::optional<platform::ActionDescription> &description);

} // namespace pelmora
