// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SocketPeer.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>

namespace pelmora::platform {

std::optional<std::int32_t> peerProcessOf(int fd)
{
    ucred credentials{};
    socklen_t length = sizeof credentials;
    if (fd < 0 || ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0 || length != sizeof credentials)
        return std::nullopt;
    return std::int32_t(credentials.pid);
}

std::optional<std::uint64_t> socketInode(int fd)
{
    struct stat status { };
    if (fd < 0 || ::fstat(fd, &status) != 0 || !S_ISSOCK(status.st_mode))
        return std::nullopt;
    return std::uint64_t(status.st_ino);
}

std::optional<std::int32_t> peerProcessAt(std::string_view name)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const bool abstract = !name.empty() && name.front() == '@';
    const std::string_view path = abstract ? name.substr(1) : name;
    // An abstract name keeps its leading NUL; a path needs room for its terminating one.
    if (path.empty() || path.size() + 1 > sizeof address.sun_path)
        return std::nullopt;
    std::memcpy(address.sun_path + (abstract ? 1 : 0), path.data(), path.size());
    const auto length = socklen_t(offsetof(sockaddr_un, sun_path) + path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return std::nullopt;
    const bool connected = ::connect(fd, reinterpret_cast<const sockaddr *>(&address), length) == 0;
    const std::optional<std::int32_t> peer = connected ? peerProcessOf(fd) : std::nullopt;
    ::close(fd);
    return peer;
}

} // namespace pelmora::platform
