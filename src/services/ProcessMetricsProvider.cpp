// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ProcessMetricsProvider.h"

#include "AppPathRule.h"
#include "ProcStat.h"
#include "ProcessFacts.h"
#include "quit/AppQuitter.h"

#include <QFile>

namespace pelmora {

ProcessMetricsProvider::Options ProcessMetricsProvider::Options::fromEnvironment()
{
    Options options;
    if (qEnvironmentVariable("PELMORA_PROCESS_SOURCE") == u"ps")
        options.source = Source::ps;
    options.registryPaths = RegistryPaths::fromEnvironment();
    return options;
}

ProcessMetricsProvider::ProcessMetricsProvider(Options options)
    : m_source(options.source)
    , m_root(options.procRoot)
    , m_registry(std::move(options.registryPaths))
    , m_procSource(options.procRoot)
    , m_psSource(std::move(options.psProgram))
{
}

std::optional<QString> ProcessMetricsProvider::appName(qint32 pid, QStringView commandPath) const
{
    if (pid > 0) {
        if (std::optional<QString> name = m_registry.applicationName(readProcessFacts(m_root, pid)))
            return name;
    }
    return appNameFromPath(commandPath);
}

QList<ProcessMetric> ProcessMetricsProvider::readProcesses()
{
    m_registry.refreshIfChanged();
    if (m_source == Source::ps) {
        QList<ProcessMetric> processes = m_psSource.read(
            [this](qint32 pid, QStringView commandPath) { return appName(pid, commandPath); });
        // ps does not print the start time in a form that tells processes
        // apart, and its comm is cut to 15 characters or chosen by the
        // process; the kernel's start time and the executable's file name,
        // read now, stay as ps gave them for a process that ended.
        std::string stat;
        for (ProcessMetric &process : processes) {
            if (m_root.readFile(std::to_string(process.id) + "/stat", stat, 4096)) {
                if (const std::optional<ProcStat> parsed = parseProcStat(stat))
                    process.startTime = parsed->startTimeTicks;
            }
            ProcessFacts facts;
            facts.exePath = readExecutablePath(m_root, process.id);
            if (const QString name = processDisplayName({}, facts); !name.isEmpty())
                process.name = name;
        }
        return processes;
    }

    return m_procSource.read(
        [this](const ProcessFacts &facts, std::string_view commandPath) -> std::optional<QString> {
            if (std::optional<QString> name = m_registry.applicationName(facts))
                return name;
            return appNameFromPath(QFile::decodeName(QByteArray(commandPath.data(), qsizetype(commandPath.size()))));
        },
        m_registry.generation());
}

RankedApps ProcessMetricsProvider::readApps()
{
    return groupAndRank(readProcesses());
}

void ProcessMetricsProvider::quit(const AppMetric &app, std::function<void(QuitOutcome)> done) const
{
    quitApplication(app, m_registry, m_root, std::move(done));
}

void ProcessMetricsProvider::end(const AppMetric &app) const
{
    endApplication(app, m_registry, m_root);
}

} // namespace pelmora
