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

// Who a process is connected to over local sockets. Whether it talks to a
// display server: an X server (also XWayland, also over TCP) or a Wayland
// compositor; such a process may own windows, perhaps on a display Pelmora
// cannot see, so it is never sent a signal. And how many connections it
// holds to one server, to tell whether a connection the server attributes
// to its pid can be its own.
namespace pelmora {

// An X11 socket ("/tmp/.X11-unix/X0", or its abstract twin), a Wayland
// socket by its usual name ("wayland-0" in any folder), or `waylandSocket`
// (the compositor's path this session names; may be empty).
bool isDisplaySocketName(std::string_view name, std::string_view waylandSocket);

// The path of the compositor's socket as a client would find it:
// $WAYLAND_DISPLAY, below $XDG_RUNTIME_DIR unless absolute. Empty when unset.
std::string waylandSocketPath(std::string_view waylandDisplay, std::string_view runtimeDir);

// This network namespace's unix sockets: who is connected to whom.
class SocketLinks {
public:
    enum class Kind { display, other, unknown };

    SocketLinks(std::span<const platform::UnixSocket> sockets, std::string_view waylandSocket);

    // A socket of a display server, or one connected to it: display. Another
    // unix socket of this namespace: other. Not in the table: unknown.
    Kind classify(std::uint64_t inode) const;

    // The name the far end of `inode` is bound to: a server's accepted
    // sockets carry the name it listens on. Null when unknown or unbound.
    const std::string *peerName(std::uint64_t inode) const;

private:
    std::unordered_map<std::uint64_t, std::uint64_t> m_peerOf;
    std::unordered_map<std::uint64_t, std::string> m_nameOf; // bound sockets only
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
    std::vector<std::string> tcpTables; // its /proc/PID/net/tcp and tcp6
};

// The sockets `held.inodes` that `links` cannot place.
std::vector<std::uint64_t> unplacedSockets(const HeldSockets &held, const std::optional<SocketLinks> &links);

// True unless every socket of the process is known to lead elsewhere.
bool talksToDisplayServer(const HeldSockets &held, const std::optional<SocketLinks> &links);

// How many of the process's sockets are connected to a server listening on
// one of `names`; nothing when that cannot be counted (its descriptors are
// unreadable, or it holds unix sockets whose far ends cannot be seen).
std::optional<std::size_t> connectionsTo(const HeldSockets &held, const std::optional<SocketLinks> &links,
                                         std::span<const std::string> names);

// This namespace's unix sockets, with the compositor's socket that
// $WAYLAND_DISPLAY names; nothing when the kernel will not list them.
std::optional<SocketLinks> readSocketLinks();

// The sockets of `pid` below `procRoot`, with its socket tables when `links`
// cannot place all of them.
HeldSockets readHeldSockets(const std::string &procRoot, std::int32_t pid, const std::optional<SocketLinks> &links);

// The socket table and the sockets of processes, each read once, on first use.
class SocketSurvey {
public:
    explicit SocketSurvey(std::string procRoot) : m_procRoot(std::move(procRoot)) { }

    const std::optional<SocketLinks> &links();
    const HeldSockets &heldBy(std::int32_t pid);

private:
    std::string m_procRoot;
    bool m_linksRead = false;
    std::optional<SocketLinks> m_links;
    std::unordered_map<std::int32_t, HeldSockets> m_held;
};

} // namespace pelmora
