// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "PsProcessSource.h"

#include "platform/ChildProcess.h"

namespace pelmora {

PsProcessSource::PsProcessSource(std::string program) : m_program(std::move(program))
{
}

QList<ProcessMetric> PsProcessSource::read(const PsAppNameLookup &appNameFor) const
{
    const platform::ChildProcessResult run = platform::runToCompletion(m_program, {"-axo", "pid=,pcpu=,rss=,comm="});
    if (!run.started)
        return {};
    return parsePsOutput(run.output, run.exitStatus, appNameFor);
}

} // namespace pelmora
