// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Reading the proc file system below a root folder ("/proc" on a live system,
// a fixture tree in tests). Every call tolerates files that vanish mid-read.
namespace pelmora::platform {

class ProcRoot {
public:
    explicit ProcRoot(std::string path = "/proc");
    ~ProcRoot();
    ProcRoot(const ProcRoot &) = delete;
    ProcRoot &operator=(const ProcRoot &) = delete;
    ProcRoot(ProcRoot &&other) noexcept;
    ProcRoot &operator=(ProcRoot &&other) noexcept;

    const std::string &path() const noexcept { return m_path; }

    // Reads a file below the root (e.g. "stat", "1234/cgroup") into `buffer`,
    // at most `maxBytes`. Returns false when it cannot be opened or read; a
    // longer file is cut at `maxBytes` (kernel text of interest comes first).
    // Meant for files the kernel writes whole in one read (stat, status,
    // meminfo, cgroup, cmdline; regular files): a first read that comes back
    // short is taken as the whole file.
    bool readFile(std::string_view relative, std::string &buffer, std::size_t maxBytes = 1 << 20) const;

    // The target of a symbolic link below the root, or nothing.
    std::optional<std::string> readLink(std::string_view relative) const;

    // Calls `visit(pid)` for each numeric entry of the root; stops early when
    // it returns false.
    template<typename Visit> void forEachPid(Visit &&visit) const;

private:
    using PidCallback = bool (*)(void *context, std::int32_t pid);
    void forEachPidImpl(PidCallback callback, void *context) const;

    std::string m_path;
    int m_fd = -1;
};

template<typename Visit> void ProcRoot::forEachPid(Visit &&visit) const
{
    forEachPidImpl([](void *context, std::int32_t pid) { return (*static_cast<Visit *>(context))(pid); }, &visit);
}

} // namespace pelmora::platform
