// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ProcProcessSource.h"

#include "ProcStat.h"
#include "platform/SystemInfo.h"

#include <algorithm>
#include <charconv>
#include <ctime>
#include <iterator>
#include <utility>

namespace pelmora {
namespace {

constexpr std::size_t kStatMaxBytes = 4096;
constexpr std::size_t kCommLength = 15; // TASK_COMM_LEN without its NUL
// An exec between reading a process's facts and checking its stat again
// sends the resolution round once more; a process that keeps exec'ing is
// tried again on the next pass.
constexpr int kResolveAttempts = 3;

double monotonicSeconds()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// "<pid>/<file>" without touching the heap.
class PidPath {
public:
    PidPath(std::int32_t pid, std::string_view file) noexcept
    {
        char *end = std::to_chars(m_text, m_text + 16, pid).ptr;
        *end++ = '/';
        const std::size_t n = std::min(file.size(), sizeof m_text - std::size_t(end - m_text));
        file.copy(end, n);
        m_size = std::size_t(end - m_text) + n;
    }
    std::string_view view() const noexcept { return {m_text, m_size}; }

private:
    char m_text[32];
    std::size_t m_size = 0;
};

std::string_view lastPathComponent(std::string_view path) noexcept
{
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

} // namespace

std::string_view commandPathOf(const ProcessFacts &facts) noexcept
{
    if (!facts.exePath.empty())
        return facts.exePath;
    if (facts.argv0.starts_with('/'))
        return facts.argv0;
    return {};
}

QString processDisplayName(std::string_view comm, const ProcessFacts &facts)
{
    if (const std::string_view exe = lastPathComponent(facts.exePath); !exe.empty())
        return QString::fromUtf8(exe.data(), qsizetype(exe.size()));
    if (comm.size() == kCommLength) {
        const std::string_view full = lastPathComponent(facts.argv0);
        if (full.size() > comm.size() && full.starts_with(comm))
            return QString::fromUtf8(full.data(), qsizetype(full.size()));
    }
    return QString::fromUtf8(comm.data(), qsizetype(comm.size()));
}

ProcProcessSource::ExecIdentity ProcProcessSource::ExecIdentity::of(const ProcStat &stat)
{
    return {std::string(stat.comm), stat.startCode, stat.endCode, stat.startStack};
}

bool ProcProcessSource::ExecIdentity::matches(const ProcStat &stat) const noexcept
{
    return comm == stat.comm && startCode == stat.startCode && endCode == stat.endCode && startStack == stat.startStack;
}

ProcProcessSource::ProcProcessSource(std::string procRoot, MonotonicClock clock)
    : m_root(std::move(procRoot))
    , m_clock(clock ? std::move(clock) : MonotonicClock(monotonicSeconds))
    , m_ticksPerSecond(platform::clockTicksPerSecond())
    , m_pageSize(platform::pageSizeBytes())
{
}

QList<ProcessMetric> ProcProcessSource::read(const AppNameLookup &appNameFor, quint64 lookupGeneration)
{
    ++m_pass;
    m_isUptimeRead = false;
    const double now = m_clock();

    QList<ProcessMetric> out;
    out.reserve(m_lastCount);
    m_root.forEachPid([&](std::int32_t pid) {
        visit(pid, now, appNameFor, lookupGeneration, out);
        return true;
    });

    std::erase_if(m_tracked, [this](const auto &entry) { return entry.second.seenInPass != m_pass; });
    m_lastCount = out.size();
    return out;
}

void ProcProcessSource::visit(std::int32_t pid, double now, const AppNameLookup &appNameFor, quint64 lookupGeneration,
                              QList<ProcessMetric> &out)
{
    const PidPath statPath(pid, "stat");
    if (!m_root.readFile(statPath.view(), m_buffer, kStatMaxBytes))
        return; // gone since the folder was listed
    const std::optional<ProcStat> stat = parseProcStat(m_buffer);
    if (!stat || stat->isKernelThread())
        return; // kernel threads are never listed and need no baseline

    const std::uint64_t cpuTicks = stat->utimeTicks + stat->stimeTicks;
    auto [it, isNew] = m_tracked.try_emplace(pid);
    Tracked &tracked = it->second;
    if (!isNew && tracked.startTimeTicks != stat->startTimeTicks) {
        tracked = Tracked{}; // the pid was reused by another process
        isNew = true;
    }

    if (isNew) {
        tracked.startTimeTicks = stat->startTimeTicks;
        tracked.cpuPercent = lifetimePercent(stat->startTimeTicks, cpuTicks);
        tracked.cpuTicks = cpuTicks;
        tracked.sampledAt = now;
    } else if (const double seconds = now - tracked.sampledAt; seconds > 0) {
        const std::uint64_t ticks = cpuTicks > tracked.cpuTicks ? cpuTicks - tracked.cpuTicks : 0;
        tracked.cpuPercent = 100.0 * double(ticks) / double(m_ticksPerSecond) / seconds;
        tracked.cpuTicks = cpuTicks;
        tracked.sampledAt = now;
    }
    tracked.seenInPass = m_pass;

    const double cpuPercent = tracked.cpuPercent;
    const quint64 memoryBytes = stat->rssPages > 0 ? quint64(stat->rssPages) * m_pageSize : 0;
    if (!(cpuPercent > 0.0 || memoryBytes != 0))
        return;

    if (!tracked.isResolved || tracked.isSettling || tracked.lookupGeneration != lookupGeneration
        || !tracked.resolvedFor.matches(*stat)) {
        // `stat` views m_buffer, which the resolution reads into again.
        switch (resolve(pid, statPath.view(), *stat, tracked, appNameFor, lookupGeneration)) {
        case Resolution::resolved:
            break;
        case Resolution::gone:
            m_tracked.erase(it);
            return;
        case Resolution::unsettled:
            return; // next pass
        }
    }
    if (!tracked.appName)
        return;
    out.append(ProcessMetric{pid, *tracked.appName, tracked.name, cpuPercent, memoryBytes, tracked.startTimeTicks});
}

// Reads the facts of the process, checks that they were read from the same
// process and program its stat shows afterwards, and asks for its name and
// application.
ProcProcessSource::Resolution ProcProcessSource::resolve(std::int32_t pid, std::string_view statPath,
                                                         const ProcStat &current, Tracked &tracked,
                                                         const AppNameLookup &appNameFor, quint64 lookupGeneration)
{
    ExecIdentity identity = ExecIdentity::of(current); // before m_buffer, which `current` views, is read again
    tracked.isResolved = false; // never serve what was resolved for another program
    for (int attempt = 0; attempt < kResolveAttempts; ++attempt) {
        ProcessFacts facts = readProcessFacts(m_root, pid);
        if (!m_root.readFile(statPath, m_buffer, kStatMaxBytes))
            return Resolution::gone;
        const std::optional<ProcStat> again = parseProcStat(m_buffer);
        if (!again || again->startTimeTicks != tracked.startTimeTicks)
            return Resolution::gone;
        if (!identity.matches(*again)) {
            identity = ExecIdentity::of(*again); // exec'd while its facts were read
            continue;
        }
        const std::optional<double> uptime = uptimeSeconds();
        const double age = uptime ? *uptime - double(tracked.startTimeTicks) / double(m_ticksPerSecond)
                                  : kSettleSeconds;
        tracked.isSettling = !tracked.isSettling && age < kSettleSeconds;
        tracked.appName = appNameFor ? appNameFor(facts, commandPathOf(facts)) : std::nullopt;
        // Only a listed process needs a name; most of a busy machine's are no application's.
        tracked.name = tracked.appName ? processDisplayName(identity.comm, facts) : QString();
        tracked.lookupGeneration = lookupGeneration;
        tracked.resolvedFor = std::move(identity);
        tracked.isResolved = true;
        return Resolution::resolved;
    }
    return Resolution::unsettled;
}

// CPU time over time since start, as ps reports %CPU.
double ProcProcessSource::lifetimePercent(std::uint64_t startTimeTicks, std::uint64_t cpuTicks)
{
    const std::optional<double> uptime = uptimeSeconds();
    if (!uptime)
        return 0.0;
    const double hz = double(m_ticksPerSecond);
    const double seconds = *uptime - double(startTimeTicks) / hz;
    return seconds > 0 ? 100.0 * double(cpuTicks) / hz / seconds : 0.0;
}
std::optional<double> ProcProcessSource::uptimeSeconds()
{
    if (!m_isUptimeRead) {
        m_isUptimeRead = true;
        m_uptime.reset();
        std::string &text = m_uptimeText;
        if (m_root.readFile("uptime", text, 256)) {
            double seconds = 0;
            const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), seconds);
            if (ec == std::errc() && end != text.data() && (end == text.data() + text.size() || *end == ' '))
                m_uptime = seconds;
        }
    }
    return m_uptime;
}

} // namespace pelmora
