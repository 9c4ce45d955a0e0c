// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SocketTable.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <linux/sock_diag.h>
#include <linux/unix_diag.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <string_view>

namespace pelmora::platform {
namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) { }
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// One sock_diag answer: the socket's inode and the attributes asked for.
void readUnixSocket(const nlmsghdr *header, std::vector<UnixSocket> &out)
{
    if (header->nlmsg_len < NLMSG_LENGTH(sizeof(unix_diag_msg)))
        return;
    const auto *message = static_cast<const unix_diag_msg *>(NLMSG_DATA(header));
    UnixSocket socket;
    socket.inode = message->udiag_ino;
    int length = int(header->nlmsg_len - NLMSG_LENGTH(sizeof *message));
    for (auto *attribute = reinterpret_cast<const rtattr *>(message + 1); RTA_OK(attribute, length);
         attribute = RTA_NEXT(attribute, length)) {
        const auto *data = static_cast<const char *>(RTA_DATA(attribute));
        const std::size_t size = RTA_PAYLOAD(attribute);
        if (attribute->rta_type == UNIX_DIAG_PEER && size >= sizeof(std::uint32_t)) {
            std::memcpy(&socket.peer, data, sizeof socket.peer);
        } else if (attribute->rta_type == UNIX_DIAG_NAME && size > 0) {
            // An abstract name starts with a NUL byte; a path name ends with one.
            const std::string_view name(data, size);
            if (name.front() == '\0')
                socket.name = '@' + std::string(name.substr(1));
            else
                socket.name = std::string(name.substr(0, name.find('\0')));
        }
    }
    out.push_back(std::move(socket));
}

} // namespace

std::optional<std::vector<UnixSocket>> listUnixSockets()
{
    const FileDescriptor netlink(::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG));
    if (netlink.get() < 0)
        return std::nullopt;
    struct {
        nlmsghdr header;
        unix_diag_req request;
    } query{};
    query.header.nlmsg_len = sizeof query;
    query.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    query.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    query.request.sdiag_family = AF_UNIX;
    query.request.udiag_states = ~0u;
    query.request.udiag_show = UDIAG_SHOW_NAME | UDIAG_SHOW_PEER;
    if (::send(netlink.get(), &query, sizeof query, 0) != ssize_t(sizeof query))
        return std::nullopt;

    std::vector<UnixSocket> sockets;
    alignas(nlmsghdr) char buffer[32768];
    for (;;) {
        const ssize_t received = ::recv(netlink.get(), buffer, sizeof buffer, 0);
        if (received < 0 && errno == EINTR)
            continue;
        if (received <= 0)
            return std::nullopt;
        // Unsigned: NLMSG_OK compares it with the header's unsigned length.
        unsigned left = unsigned(received);
        for (auto *header = reinterpret_cast<const nlmsghdr *>(buffer); NLMSG_OK(header, left);
             header = NLMSG_NEXT(header, left)) {
            if (header->nlmsg_type == NLMSG_DONE)
                return sockets;
            if (header->nlmsg_type == NLMSG_ERROR)
                return std::nullopt;
            if (header->nlmsg_type == SOCK_DIAG_BY_FAMILY)
                readUnixSocket(header, sockets);
        }
    }
}

std::optional<std::vector<std::uint64_t>> socketInodesOf(const std::string &procRoot, std::int32_t pid)
{
    const std::string path = procRoot + '/' + std::to_string(pid) + "/fd";
    const FileDescriptor dirFd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dirFd.get() < 0)
        return std::nullopt;
    DIR *dir = ::fdopendir(::dup(dirFd.get()));
    if (!dir)
        return std::nullopt;
    std::vector<std::uint64_t> inodes;
    char target[64];
    while (const dirent *entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        const ssize_t length = ::readlinkat(dirFd.get(), entry->d_name, target, sizeof target);
        constexpr std::string_view prefix = "socket:[";
        const std::string_view link(target, length > 0 ? std::size_t(length) : 0);
        if (!link.starts_with(prefix) || !link.ends_with(']'))
            continue;
        std::uint64_t inode = 0;
        const char *first = link.data() + prefix.size(), *last = link.data() + link.size() - 1;
        if (std::from_chars(first, last, inode).ptr == last)
            inodes.push_back(inode);
    }
    ::closedir(dir);
    return inodes;
}

std::optional<std::string> readProcTable(const std::string &path, std::size_t maxBytes)
{
    const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0)
        return std::nullopt;
    std::string text;
    char chunk[16384];
    for (;;) {
        const ssize_t got = ::read(fd.get(), chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 || text.size() + std::size_t(got) > maxBytes)
            return std::nullopt;
        if (got == 0)
            return text;
        text.append(chunk, std::size_t(got));
    }
}

} // namespace pelmora::platform
