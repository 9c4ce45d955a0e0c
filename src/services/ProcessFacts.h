// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/ProcFs.h"

#include <cstdint>
#include <string>

namespace pelmora {

// Where a process's program lives and which control group launched it: what
// only an exec (or a launcher moving it to its own group) changes, so the
// process table reads it once per program run, not on every refresh.
struct ProcessFacts {
    std::int32_t pid = 0;
    std::string exePath; // target of PID/exe; empty when unreadable (other users, kernel threads)
    std::string argv0; // first word of PID/cmdline; empty when there is none
    std::string cgroup; // the text of PID/cgroup; empty when unreadable
};

// Reads the facts of `pid` below `root`. Missing files leave their field empty.
ProcessFacts readProcessFacts(const platform::ProcRoot &root, std::int32_t pid);

// The target of PID/exe without the " (deleted)" of a replaced binary; empty
// when unreadable.
std::string readExecutablePath(const platform::ProcRoot &root, std::int32_t pid);

} // namespace pelmora
