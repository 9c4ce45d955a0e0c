// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "ProcProcessSource.h"
#include "ProcessGrouping.h"
#include "PsProcessSource.h"
#include "registry/AppRegistry.h"

#include "models/QuitOutcome.h"
#include "platform/ProcFs.h"

#include <QStringView>

#include <functional>
#include <optional>
#include <string>

namespace pelmora {

// Lists the processes, names each after the application that owns it, groups
// them into applications and ranks those. Unlike a stateless reader it keeps
// per-process CPU baselines and the desktop index between calls, since
// interval CPU figures and a cheap refresh need them.
class ProcessMetricsProvider {
public:
    enum class Source { procfs, ps };

    struct Options {
        Source source = Source::procfs;
        std::string procRoot = "/proc";
        std::string psProgram = "/bin/ps";
        RegistryPaths registryPaths;

        // PELMORA_PROCESS_SOURCE=ps selects the process-status tool.
        static Options fromEnvironment();
    };

    explicit ProcessMetricsProvider(Options options = Options::fromEnvironment());

    RankedApps readApps();
    QList<ProcessMetric> readProcesses();

    // The application a process belongs to: the desktop registry first, then
    // the application bundle on its command path.
    std::optional<QString> appName(qint32 pid, QStringView commandPath) const;

    // Asks the application's top processes to quit as its user would (its own
    // Quit command, its windows' close buttons, SIGTERM only where neither
    // exists and it cannot hold a window), each process checked at that
    // moment against what the user saw. Returns at once; `done` gets what
    // came of it later, on this thread.
    void quit(const AppMetric &app, std::function<void(QuitOutcome)> done = {}) const;
    // SIGTERM to the application's top processes of the user's own, each
    // checked as for quit(): for one that nothing could ask.
    void end(const AppMetric &app) const;

    const AppRegistry &registry() const { return m_registry; }

private:
    Source m_source;
    platform::ProcRoot m_root;
    AppRegistry m_registry;
    ProcProcessSource m_procSource;
    PsProcessSource m_psSource;
};

} // namespace pelmora
