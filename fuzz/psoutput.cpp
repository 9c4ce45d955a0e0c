// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// `ps -axo pid=,pcpu=,rss=,comm=` output. The first byte stands for the
// tool's exit status (0xF0..0xFF mean 1..16, anything else 0), the rest is
// what it wrote. The rest is also fed to parseProcessLine as a single line.
// Whatever figures the parser lets through (NaN, infinity, negative CPU),
// grouping must still rank them in a consistent order.
#include "FuzzCheck.h"

#include "services/AppPathRule.h"
#include "services/ProcessGrouping.h"
#include "services/PsOutput.h"

#include <QString>

#include <algorithm>

using namespace pelmora;

namespace {

// Stands in for the registry: some pids belong to no application, some to a
// known one, the rest are named by the bundle on their path (if any).
std::optional<QString> lookup(qint32 pid, QStringView commandPath)
{
    if (pid % 5 == 0)
        return std::nullopt;
    if (pid % 2 == 0)
        return QStringLiteral("Registry App");
    return appNameFromPath(commandPath);
}

void checkProcess(const ProcessMetric &process)
{
    FUZZ_CHECK(process.cpuPercent > 0.0 || process.memoryBytes != 0);
    FUZZ_CHECK(!process.appName.isEmpty());
    FUZZ_CHECK(!process.name.isEmpty());
}

void checkRanking(const QList<ProcessMetric> &processes)
{
    const RankedApps ranked = groupAndRank(processes);
    FUZZ_CHECK(ranked.cpu.size() == ranked.all.size() && ranked.memory.size() == ranked.all.size());
    qsizetype grouped = 0;
    for (const AppMetric &app : ranked.all) {
        FUZZ_CHECK(!app.processes.isEmpty());
        grouped += app.processes.size();
    }
    FUZZ_CHECK(grouped == processes.size());
    for (qsizetype i = 1; i < ranked.all.size(); ++i) {
        FUZZ_CHECK(!cpuDescending(ranked.cpu[i].cpuPercent, ranked.cpu[i - 1].cpuPercent));
        FUZZ_CHECK(ranked.memory[i].memoryBytes <= ranked.memory[i - 1].memoryBytes);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const int exitStatus = data[0] >= 0xF0 ? data[0] - 0xEF : 0;
    const std::string_view output = fuzz::text(data + 1, size - 1);

    int lookups = 0;
    const PsAppNameLookup counting = [&](qint32 pid, QStringView commandPath) {
        ++lookups;
        return lookup(pid, commandPath);
    };
    const QList<ProcessMetric> processes = parsePsOutput(output, exitStatus, counting);
    if (exitStatus != 0)
        FUZZ_CHECK(processes.isEmpty() && lookups == 0);
    FUZZ_CHECK(processes.size() <= qsizetype(std::count(output.begin(), output.end(), '\n')) + 1);
    FUZZ_CHECK(processes.size() <= lookups);
    for (const ProcessMetric &process : processes)
        checkProcess(process);
    checkRanking(processes);

    const QString line = QString::fromUtf8(output.data(), qsizetype(output.size()));
    if (const std::optional<ProcessMetric> process = parseProcessLine(line, counting))
        checkProcess(*process);
    return 0;
}
