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
// A process no application claims, and every kernel thread, is read again
// only on one pass in this many (staggered by pid, so no pass carries them
// all): nothing of it is shown, and all its stat could tell is that the pid
// now belongs to a new process. Reading the stat of every process is most of
// a refresh on a machine with thousands of them.
constexpr std::uint64_t kUnclaimedRecheckPasses = 6;
constexpr std::size_t kCommLength = 15; // TASK_COMM_LEN without its NUL

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
    if (comm.size() == kCommLength) {
        for (const std::string *path : {&facts.exePath, &facts.argv0}) {
            const std::string_view full = lastPathComponent(*path);
            if (full.size() > comm.size() && full.starts_with(comm))
                return QString::fromUtf8(full.data(), qsizetype(full.size()));
        }
    }
    return QString::fromUtf8(comm.data(), qsizetype(comm.size()));
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

void ProcProcessSource::visit(std::int32_t pid, double now, const AppNameLookup &appNameFor,
                              quint64 lookupGeneration, QList<ProcessMetric> &out)
{
    if (const auto known = m_tracked.find(pid); known != m_tracked.end()
        && known->second.isUnclaimed(lookupGeneration)
        && (m_pass + std::uint64_t(pid)) % kUnclaimedRecheckPasses != 0) {
        known->second.seenInPass = m_pass;
        return;
    }

    const PidPath statPath(pid, "stat");
    if (!m_root.readFile(statPath.view(), m_buffer, kStatMaxBytes))
        return; // gone since the folder was listed
    std::optional<ProcStat> stat = parseProcStat(m_buffer);
    if (!stat)
        return;
    if (stat->isKernelThread()) {
        Tracked &thread = m_tracked[pid];
        if (!thread.isKernelThread)
            thread = Tracked{}; // new, or a pid taken over by a kernel thread
        thread.isKernelThread = true;
        thread.seenInPass = m_pass;
        return;
    }

    const std::uint64_t cpuTicks = stat->utimeTicks + stat->stimeTicks;
    auto [it, isNew] = m_tracked.try_emplace(pid);
    Tracked *tracked = &it->second;
    if (!isNew && (tracked->isKernelThread || tracked->startTimeTicks != stat->startTimeTicks)) {
        *tracked = Tracked{}; // the pid was reused by another process
        isNew = true;
    }

    if (isNew) {
        tracked->startTimeTicks = stat->startTimeTicks;
        tracked->cpuPercent = lifetimePercent(*stat, cpuTicks);
        tracked->cpuTicks = cpuTicks;
        tracked->sampledAt = now;
    } else if (const double seconds = now - tracked->sampledAt; seconds > 0) {
        const std::uint64_t ticks = cpuTicks > tracked->cpuTicks ? cpuTicks - tracked->cpuTicks : 0;
        tracked->cpuPercent = 100.0 * double(ticks) / double(m_ticksPerSecond) / seconds;
        tracked->cpuTicks = cpuTicks;
        tracked->sampledAt = now;
    }
    tracked->seenInPass = m_pass;

    const double cpuPercent = tracked->cpuPercent;
    const quint64 memoryBytes = stat->rssPages > 0 ? quint64(stat->rssPages) * m_pageSize : 0;
    if (!(cpuPercent > 0.0 || memoryBytes != 0))
        return;

    if (!tracked->hasFacts) {
        tracked->facts = readProcessFacts(m_root, pid);
        // The facts count only if they were read from the same process: it
        // may have ended, or its pid been taken, in the meantime.
        if (m_root.readFile(statPath.view(), m_buffer, kStatMaxBytes))
            stat = parseProcStat(m_buffer);
        else
            stat.reset();
        if (!stat || stat->startTimeTicks != tracked->startTimeTicks) {
            m_tracked.erase(pid);
            return;
        }
        tracked->hasFacts = true;
    }

    if (!tracked->isLookedUp || tracked->lookupGeneration != lookupGeneration) {
        tracked->appName = appNameFor ? appNameFor(tracked->facts, commandPathOf(tracked->facts)) : std::nullopt;
        tracked->isLookedUp = true;
        tracked->lookupGeneration = lookupGeneration;
    }
    if (!tracked->appName)
        return;

    // comm is read every pass (a process may rename itself); the name is
    // only rebuilt when it changed.
    if (!tracked->hasName || tracked->comm != stat->comm) {
        tracked->comm.assign(stat->comm);
        tracked->name = processDisplayName(stat->comm, tracked->facts);
        tracked->hasName = true;
    }

    out.append(ProcessMetric{pid, *tracked->appName, tracked->name, cpuPercent, memoryBytes, tracked->startTimeTicks});
}

// CPU time over time since start, as ps reports %CPU.
double ProcProcessSource::lifetimePercent(const ProcStat &stat, std::uint64_t cpuTicks)
{
    const std::optional<double> uptime = uptimeSeconds();
    if (!uptime)
        return 0.0;
    const double hz = double(m_ticksPerSecond);
    const double seconds = *uptime - double(stat.startTimeTicks) / hz;
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
