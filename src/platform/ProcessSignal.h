// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// Signalling one process through a pidfd: the handle stays bound to the
// process it was opened for, so a pid reused after that process ended is
// never hit.
namespace pelmora::platform {

class ProcessHandle {
public:
    // Opens a handle on `pid`; invalid when the process is gone, pid <= 0,
    // or the kernel has no pidfds.
    static ProcessHandle open(std::int32_t pid);
    // Takes over `fd`, a pidfd someone else opened (a bus's ProcessFD).
    static ProcessHandle adopt(int fd) noexcept { return ProcessHandle(fd); }

    ProcessHandle() = default;
    ~ProcessHandle();
    ProcessHandle(const ProcessHandle &) = delete;
    ProcessHandle &operator=(const ProcessHandle &) = delete;
    ProcessHandle(ProcessHandle &&other) noexcept;
    ProcessHandle &operator=(ProcessHandle &&other) noexcept;

    bool isValid() const noexcept { return m_fd >= 0; }

    // Sends `signal`. False when it could not be delivered: the process has
    // ended (ESRCH) or belongs to another user (EPERM).
    bool sendSignal(int signal) const;

    // Whether the process has ended. While it has not, its pid still names
    // it: a pid is only reused once its process has ended and been reaped.
    bool hasEnded() const;

    // The pid of its process in this pid namespace, read from the kernel
    // (fdinfo): nothing once the process is gone or outside this namespace,
    // or when `fd` is no pidfd. Two handles showing the same pid at once
    // hold the same process.
    std::optional<std::int32_t> currentPid() const;

private:
    explicit ProcessHandle(int fd) noexcept : m_fd(fd) { }
    int m_fd = -1;
};

// The "Pid:" of a pidfd's fdinfo text: -1 once its process is gone, 0 when
// it lies outside the reader's pid namespace; nothing when there is no such line.
std::optional<std::int32_t> parsePidfdPid(std::string_view fdinfo);

// This process's real user id: the user it acts for, also when run set-uid.
std::uint32_t realUserId() noexcept;

} // namespace pelmora::platform
