// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "PsOutput.h"

#include <string>

namespace pelmora {

// The process table from one run of the process-status tool. On Linux its
// %CPU is a lifetime average, so the /proc source is the default.
class PsProcessSource {
public:
    explicit PsProcessSource(std::string program = "/bin/ps");
    QList<ProcessMetric> read(const PsAppNameLookup &appNameFor) const;

private:
    std::string m_program;
};

} // namespace pelmora
