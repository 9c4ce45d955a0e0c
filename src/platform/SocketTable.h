// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Who is connected to whom over local sockets: the kernel's table of unix
// sockets (sock_diag) and the sockets a process holds (/proc/PID/fd).
namespace pelmora::platform {

struct UnixSocket {
    std::uint32_t inode = 0;
    std::uint32_t peer = 0; // inode of the other end; 0 when not connected
    std::string name; // bound path; abstract names start with '@'; empty when unbound
};

// Every unix socket of this network namespace; nothing when the kernel will not say.
std::optional<std::vector<UnixSocket>> listUnixSockets();

// The inodes of the sockets `pid` holds open, read below `procRoot`; nothing
// when its descriptors cannot be read (another user's, or it ended).
std::optional<std::vector<std::uint64_t>> socketInodesOf(const std::string &procRoot, std::int32_t pid);

// A whole file of the proc file system (the kernel hands longer tables out
// in pieces); nothing when it cannot be read or exceeds `maxBytes`.
std::optional<std::string> readProcTable(const std::string &path, std::size_t maxBytes = 16 << 20);

} // namespace pelmora::platform
