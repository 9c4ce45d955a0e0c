// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

namespace pelmora {

// Parses the command line and runs the program: the panel item, or one of
// the command-line modes (--once, --autostart, --help, --version). Returns
// the exit status.
int runPelmora(int argc, char *argv[]);

} // namespace pelmora
