// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SwayIpc.h"

#include <QDeadlineTimer>

#include <cerrno>
#include <cstring>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace pelmora::platform {
namespace {

constexpr char magic[] = {'i', '3', '-', 'i', 'p', 'c'};
constexpr qsizetype headerSize = sizeof(magic) + 2 * sizeof(std::uint32_t);
// A tree of a busy desktop is a few hundred KiB; anything far beyond is not sway.
constexpr std::uint32_t maxPayload = 16u << 20;

class Socket {
public:
    explicit Socket(int fd) : m_fd(fd) { }
    ~Socket()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Socket(const Socket &) = delete;
    Socket &operator=(const Socket &) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

// Waits for `events` on `fd` until `deadline`; false on timeout or error.
bool waitFor(int fd, short events, const QDeadlineTimer &deadline)
{
    for (;;) {
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, int(std::max<qint64>(0, deadline.remainingTime())));
        if (ready > 0)
            return (entry.revents & events) != 0;
        if (ready == 0 || errno != EINTR)
            return false;
    }
}

} // namespace

QByteArray encodeSwayMessage(SwayMessage type, const QByteArray &payload)
{
    QByteArray message(magic, sizeof(magic));
    const std::uint32_t fields[] = {std::uint32_t(payload.size()), std::uint32_t(type)};
    message.append(reinterpret_cast<const char *>(fields), sizeof(fields));
    return message + payload;
}

std::optional<QByteArray> decodeSwayReply(const QByteArray &buffer, SwayMessage type)
{
    if (buffer.size() < headerSize || std::memcmp(buffer.constData(), magic, sizeof(magic)) != 0)
        return std::nullopt;
    std::uint32_t fields[2];
    std::memcpy(fields, buffer.constData() + sizeof(magic), sizeof(fields));
    if (fields[1] != std::uint32_t(type) || fields[0] > maxPayload || buffer.size() - headerSize < qsizetype(fields[0]))
        return std::nullopt;
    return buffer.mid(headerSize, qsizetype(fields[0]));
}

std::optional<QByteArray> swayRequest(const QString &socketPath, SwayMessage type, const QByteArray &payload,
                                      int timeoutMs)
{
    const QByteArray path = socketPath.toLocal8Bit();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.isEmpty() || size_t(path.size()) >= sizeof(address.sun_path))
        return std::nullopt;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const Socket socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (socket.fd() < 0)
        return std::nullopt;
    const QDeadlineTimer deadline(timeoutMs);
    if (::connect(socket.fd(), reinterpret_cast<const sockaddr *>(&address), sizeof(address)) != 0
        && !(errno == EINPROGRESS && waitFor(socket.fd(), POLLOUT, deadline)))
        return std::nullopt;

    const QByteArray message = encodeSwayMessage(type, payload);
    for (qsizetype sent = 0; sent < message.size();) {
        const ssize_t n = ::send(socket.fd(), message.constData() + sent, size_t(message.size() - sent), MSG_NOSIGNAL);
        if (n > 0)
            sent += n;
        else if (n < 0 && errno != EINTR
                 && !((errno == EAGAIN || errno == EWOULDBLOCK) && waitFor(socket.fd(), POLLOUT, deadline)))
            return std::nullopt;
    }

    QByteArray reply;
    char chunk[4096];
    for (;;) {
        if (const auto payloadRead = decodeSwayReply(reply, type))
            return payloadRead;
        if (reply.size() >= qsizetype(sizeof(magic)) && std::memcmp(reply.constData(), magic, sizeof(magic)) != 0)
            return std::nullopt;
        if (reply.size() >= headerSize + qsizetype(maxPayload) || !waitFor(socket.fd(), POLLIN, deadline))
            return std::nullopt;
        const ssize_t n = ::recv(socket.fd(), chunk, sizeof(chunk), 0);
        if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN))
            return std::nullopt;
        if (n > 0)
            reply.append(chunk, n);
    }
}

} // namespace pelmora::platform
