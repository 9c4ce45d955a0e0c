// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/SocketTable.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// Whether a process talks to a display server: an X server (also XWayland,
// also over TCP) or a Wayland compositor. Such a process may own windows,
// perhaps on a display Pelmora cannot see, so it is never sent a signal.
namespace pelmora {

// An X11 socket ("/tmp/.X11-unix/X0", or its abstract twin), a Wayland
// socket by its usual name ("wayland-0" in any folder), or `waylandSocket`
// (the compositor's path this session names; may be empty).
bool isDisplaySocketName(std::string_view name, std::string_view waylandSocket);

// The path of the compositor's socket as a client would find it:
// $WAYLAND_DISPLAY, below $XDG_RUNTIME_DIR unless absolute. Empty when unset.
std::string waylandSocketPath(std::string_view waylandDisplay, std::string_view runtimeDir);

class DisplayLinks {
public:
    enum class Kind { display, other, unknown };

    DisplayLinks(std::span<const platform::UnixSocket> sockets, std::string_view waylandSocket);

    // A socket of a display server, or one connected to it: display. Another
    // unix socket of this namespace: other. Not in the table: unknown.
    Kind classify(std::uint64_t inode) const;

private:
    std::unordered_map<std::uint64_t, std::uint64_t> m_peerOf;
    std::unordered_set<std::uint64_t> m_display;
};

// Inodes listed in a /proc/PID/net/unix table.
std::vector<std::uint64_t> unixTableInodes(std::string_view table);
// Inodes of the sockets in a /proc/PID/net/tcp or tcp6 table whose far end
// is an X server's port (6000 to 6063).
std::vector<std::uint64_t> x11TcpInodes(std::string_view table);

// What is known of the sockets one process holds.
struct HeldSockets {
    std::optional<std::vector<std::uint64_t>> inodes; // nothing: its descriptors could not be read
    // Only read when some socket is not in this namespace's unix table:
    std::optional<std::string> unixTable; // its /proc/PID/net/unix
    std::vector<std::string> tcpTables;   // its /proc/PID/net/tcp and tcp6
};

// The sockets `held.inodes` that `links` cannot place.
std::vector<std::uint64_t> unplacedSockets(const HeldSockets &held, const std::optional<DisplayLinks> &links);

// True unless every socket of the process is known to lead elsewhere.
bool talksToDisplayServer(const HeldSockets &held, const std::optional<DisplayLinks> &links);

// This namespace's unix sockets, with the compositor's socket that
// $WAYLAND_DISPLAY names; nothing when the kernel will not list them.
std::optional<DisplayLinks> readDisplayLinks();

// The sockets of `pid` below `procRoot`, with its socket tables when `links`
// cannot place all of them.
HeldSockets readHeldSockets(const std::string &procRoot, std::int32_t pid, const std::optional<DisplayLinks> &links);

} // namespace pelmora
