// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/ProcFs.h"

#include <cstdint>
#include <string>

namespace pelmora {

// What cannot change during a process's life (apart from exec): where its
// program lives and which control group launched it. Read once per process.
struct ProcessFacts {
    std::int32_t pid = 0;
    std::string exePath; // target of PID/exe; empty when unreadable (other users, kernel threads)
    std::string argv0;   // first word of PID/cmdline; empty when there is none
    std::string cgroup;  // the text of PID/cgroup; empty when unreadable
};

// Reads the facts of `pid` below `root`. Missing files leave their field empty.
ProcessFacts readProcessFacts(const platform::ProcRoot &root, std::int32_t pid);

} // namespace pelmora
