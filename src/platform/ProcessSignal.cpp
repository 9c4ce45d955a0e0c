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

ProcessHandle::ProcessHandle(ProcessHandle &&other) noexcept
    : m_fd(std::exchange(other.m_fd, -1))
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
    while ((result = ::poll(&ready, 1, 0)) < 0 && errno == EINTR) {
    }
    return result != 0;
}

std::uint32_t realUserId() noexcept
{
    return ::getuid();
}

} // namespace pelmora::platform
