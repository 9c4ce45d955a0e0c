// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// The process at the other end of a local socket, as the kernel recorded it
// when the connection was made (SO_PEERCRED). A server found this way tells
// whether the process ids it reports are ours to compare.
namespace pelmora::platform {

// The peer's pid in this process's pid namespace, 0 when its process lies
// outside it; nothing when `fd` is not a connected unix socket (TCP, say).
std::optional<std::int32_t> peerProcessOf(int fd);

// The inode of the socket `fd`, as /proc/PID/fd and the socket table name it.
std::optional<std::uint64_t> socketInode(int fd);

// The process that listens on the unix socket `name` ('@' first for an
// abstract name), found by connecting and hanging up at once without a word.
std::optional<std::int32_t> peerProcessAt(std::string_view name);

} // namespace pelmora::platform
