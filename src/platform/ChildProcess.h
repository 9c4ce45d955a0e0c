// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>
#include <vector>

namespace pelmora::platform {

struct ChildProcessResult {
    bool started = false; // false: the program could not be started
    int exitStatus = -1; // the exit code; -1 when it did not exit normally
    std::string output; // everything it wrote to standard output
};

// Runs `program` with `arguments` (argv[1..]), inheriting environment, working
// directory and standard input; standard error goes to /dev/null. Standard
// output is drained to end of file before the wait, so the child never stalls
// on a full pipe. The child has exited when this returns.
ChildProcessResult runToCompletion(const std::string &program, const std::vector<std::string> &arguments);

} // namespace pelmora::platform
