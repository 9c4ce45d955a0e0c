// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "AppQuitter.h"

#include "platform/ProcessSignal.h"
#include "services/ProcStat.h"
#include "support/TextServices.h"

#include <csignal>
#include <string>

namespace pelmora {
namespace {

bool belongsTo(const AppMetric &app, std::int32_t pid, const AppRegistry &registry, const platform::ProcRoot &root)
{
    const std::optional<QString> name = registry.applicationName(readProcessFacts(root, pid));
    return name && localizedLowercase(*name) == app.id;
}

} // namespace

bool shouldSignal(const AppMetric &app, std::int32_t pid, const AppRegistry &registry,
                  const platform::ProcRoot &root)
{
    if (pid <= 1 || !belongsTo(app, pid, registry, root))
        return false;
    std::string stat;
    if (!root.readFile(std::to_string(pid) + "/stat", stat, 4096))
        return false; // ended while being checked
    const std::optional<ProcStat> parsed = parseProcStat(stat);
    if (!parsed)
        return false;
    return parsed->ppid <= 1 || !belongsTo(app, parsed->ppid, registry, root);
}

QList<std::int32_t> quitApplication(const AppMetric &app, const AppRegistry &registry,
                                    const platform::ProcRoot &root)
{
    QList<std::int32_t> signalled;
    for (const ProcessMetric &process : app.processes) {
        const std::int32_t pid = process.id;
        if (pid <= 1 || signalled.contains(pid))
            continue;
        // Pin the process first: if it ends and its pid is reused before the
        // check below, the check may read the newcomer, but the signal can
        // only reach the pinned (gone) process and fails harmlessly.
        const platform::ProcessHandle handle = platform::ProcessHandle::open(pid);
        if (!handle.isValid() || !shouldSignal(app, pid, registry, root))
            continue;
        if (handle.sendSignal(SIGTERM))
            signalled.append(pid);
    }
    return signalled;
}

} // namespace pelmora
