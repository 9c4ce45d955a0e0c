// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/ProcFs.h"

#include <cstdint>
#include <optional>
#include <string_view>

// Whether the process ids a server reports (the bus's, the X server's) are
// ids of Pelmora's own pid namespace. A server in another namespace numbers
// processes its own way, and its pid 1234 may be anyone here.
namespace pelmora {

// How many pid namespaces lie from the /proc reader's down to the process's
// own: the entries of the "NSpid:" line of its status text; nothing without one.
std::optional<std::size_t> pidNamespaceDepth(std::string_view status);

// The server's process as the kernel shows it to us (`serverPid`: 0 when it
// is outside our namespace, nothing when unknown) lives in our namespace:
// seen at all, and no deeper down than we are.
bool sharesPidNamespace(std::optional<std::int32_t> serverPid, std::optional<std::size_t> ownDepth,
                        std::optional<std::size_t> serverDepth);

// The same, reading both status files below `root`.
bool sharesPidNamespace(const platform::ProcRoot &root, std::optional<std::int32_t> serverPid);

} // namespace pelmora
