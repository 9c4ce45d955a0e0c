// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "models/MetricsSnapshot.h"

#include <QString>

namespace pelmora {

// The plain-text report of `pelmora --once`: whole-machine figures, then one
// line per application in the CPU ranking, figures in the shared formats.
QString onceReport(const MetricsSnapshot &snapshot);

// Samples twice, one second apart (CPU figures are intervals), prints the
// report to standard output and returns the exit status.
int runOnce();

} // namespace pelmora
