// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ProcessSignal.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

// glibc 2.36's <sys/pidfd.h> lacks the extern "C" guard of its other headers.
extern "C" {
#include <sys/pidfd.h>
}

#include <algorithm>
#include <charconv>
#include <string>
#include <utility>

namespace pelmora::platform {

ProcessHandle ProcessHandle::open(std::int32_t pid)
{
    if (pid <= 0)
        return {};
    return ProcessHandle(::pidfd_open(pid, 0));
}

ProcessHandle::~ProcessHandle()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

ProcessHandle::ProcessHandle(ProcessHandle &&other) noexcept : m_fd(std::exchange(other.m_fd, -1))
{
}

ProcessHandle &ProcessHandle::operator=(ProcessHandle &&other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

bool ProcessHandle::sendSignal(int signal) const
{
    return m_fd >= 0 && ::pidfd_send_signal(m_fd, signal, nullptr, 0) == 0;
}

bool ProcessHandle::hasEnded() const
{
    if (m_fd < 0)
        return true;
    // A pidfd turns readable when its process ends.
    pollfd ready{m_fd, POLLIN, 0};
    int result;
    while ((result = ::poll(&ready, 1, 0)) < 0 && errno == EINTR) { }
    return result != 0;
}

std::optional<std::int32_t> ProcessHandle::currentPid() const
{
    if (m_fd < 0)
        return std::nullopt;
    const std::string path = "/proc/self/fdinfo/" + std::to_string(m_fd);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    char buffer[512];
    ssize_t got;
    while ((got = ::read(fd, buffer, sizeof buffer - 1)) < 0 && errno == EINTR) { }
    ::close(fd);
    if (got <= 0)
        return std::nullopt;
    const std::optional<std::int32_t> pid = parsePidfdPid(std::string_view(buffer, std::size_t(got)));
    if (!pid || *pid <= 0)
        return std::nullopt;
    return pid;
}

std::optional<std::int32_t> parsePidfdPid(std::string_view fdinfo)
{
    constexpr std::string_view key = "Pid:";
    for (std::size_t at = 0; at < fdinfo.size();) {
        const std::size_t end = std::min(fdinfo.find('\n', at), fdinfo.size());
        std::string_view line = fdinfo.substr(at, end - at);
        at = end + 1;
        if (!line.starts_with(key))
            continue;
        line.remove_prefix(key.size());
        while (!line.empty() && (line.front() == '\t' || line.front() == ' '))
            line.remove_prefix(1);
        std::int32_t pid = 0;
        const auto [rest, error] = std::from_chars(line.data(), line.data() + line.size(), pid);
        if (error != std::errc() || rest == line.data() || (rest != line.data() + line.size() && *rest != ' '))
            return std::nullopt;
        return pid;
    }
    return std::nullopt;
}

std::uint32_t realUserId() noexcept
{
    return ::getuid();
}

} // namespace pelmora::platform
