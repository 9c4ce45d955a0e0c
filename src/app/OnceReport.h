// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "models/MetricsSnapshot.h"

#include <QString>

namespace pelmora {

// The plain-text report of `pelmora --once`: whole-machine figures, then one
// line per application in the CPU ranking, figures in the shared formats.
// Names are made terminal-safe; texts are in the user's language.
QString onceReport(const MetricsSnapshot &snapshot);

// `text` with every character that would drive a terminal rather than show
// (C0, DEL, C1, line separators, direction controls) replaced by '?', as ps
// shows them: one name can neither forge a row nor recolour or reorder it.
QString terminalSafe(QString text);

// Samples twice, one second apart (CPU figures are intervals), prints the
// report to standard output and returns the exit status.
int runOnce();

} // namespace pelmora
