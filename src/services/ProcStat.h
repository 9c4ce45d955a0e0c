// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace pelmora {

// The fields of /proc/PID/stat that the process table uses.
struct ProcStat {
    std::string_view comm; // between the first '(' and the last ')'; views the input
    char state = '?';
    std::int32_t ppid = 0;
    std::uint32_t flags = 0;
    std::uint64_t utimeTicks = 0;
    std::uint64_t stimeTicks = 0;
    std::uint64_t startTimeTicks = 0; // since boot; tells a reused pid from the old one
    std::int64_t rssPages = 0;
    // Where the program's code and stack were mapped at its last exec (0 when
    // the reader may not see them: another user's process, a kernel thread).
    // An exec maps a new program, at new addresses while they are randomised,
    // so a change here means another program even when comm stayed the same.
    std::uint64_t startCode = 0;
    std::uint64_t endCode = 0;
    std::uint64_t startStack = 0;

    bool isKernelThread() const noexcept { return flags & 0x00200000u; } // PF_KTHREAD
};

// Parses one /proc/PID/stat text. The command name may hold spaces and ')',
// so the fields are read after the last ')'. Nothing for malformed text or a
// line cut before the resident size; the code and stack addresses stay 0 in a
// line cut before them.
std::optional<ProcStat> parseProcStat(std::string_view text) noexcept;

} // namespace pelmora
