// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "ProcessFacts.h"
#include "models/ProcessMetric.h"
#include "platform/ProcFs.h"

#include <QList>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace pelmora {

struct ProcStat;

// The process table read straight from /proc, one pass per call. %CPU is the
// share of one processor used since the previous call that saw the process
// (a newly seen process gets its lifetime average, as ps reports it), so the
// source keeps a baseline per live process and drops those of ended ones.
class ProcProcessSource {
public:
    // The application a process belongs to, or nothing. `commandPath` is the
    // executable's path, else an absolute argv[0], else empty.
    using AppNameLookup =
        std::function<std::optional<QString>(const ProcessFacts &facts, std::string_view commandPath)>;
    // Seconds of a clock that only moves forward; CLOCK_MONOTONIC when empty.
    using MonotonicClock = std::function<double()>;

    explicit ProcProcessSource(std::string procRoot = "/proc", MonotonicClock clock = {});

    ProcProcessSource(ProcProcessSource &&) noexcept = default;
    ProcProcessSource &operator=(ProcProcessSource &&) noexcept = default;

    // Every process with CPU > 0 or resident size != 0 that `appNameFor`
    // names, in /proc order. `appNameFor` is asked once per process lifetime;
    // a change of `lookupGeneration` (its earlier answers may be stale) makes
    // it ask again.
    QList<ProcessMetric> read(const AppNameLookup &appNameFor, quint64 lookupGeneration);

    // Processes with a baseline; never more than the last pass saw.
    std::size_t cachedProcessCount() const noexcept { return m_tracked.size(); }

private:
    // What is kept of one process between passes; keyed by pid, valid while
    // the start time matches.
    struct Tracked {
        std::uint64_t startTimeTicks = 0;
        std::uint64_t cpuTicks = 0; // utime + stime at `sampledAt`
        double sampledAt = 0.0;
        double cpuPercent = 0.0; // last figure, kept when no time has passed
        std::uint64_t seenInPass = 0;

        bool hasFacts = false;
        ProcessFacts facts;
        bool isLookedUp = false;
        quint64 lookupGeneration = 0;
        std::optional<QString> appName;

        bool hasName = false;
        std::string comm; // the comm that `name` was made from
        QString name;

        bool isKernelThread = false;

        // Nothing of it is ever listed as long as it stays the same process.
        bool isUnclaimed(quint64 generation) const
        {
            return isKernelThread || (isLookedUp && !appName && lookupGeneration == generation);
        }
    };

    void visit(std::int32_t pid, double now, const AppNameLookup &appNameFor, quint64 lookupGeneration,
               QList<ProcessMetric> &out);
    double lifetimePercent(const ProcStat &stat, std::uint64_t cpuTicks);
    std::optional<double> uptimeSeconds();

    platform::ProcRoot m_root;
    MonotonicClock m_clock;
    std::uint64_t m_ticksPerSecond;
    std::uint64_t m_pageSize;
    std::unordered_map<std::int32_t, Tracked> m_tracked;
    std::uint64_t m_pass = 0;
    bool m_isUptimeRead = false; // /proc/uptime is read at most once per pass
    std::optional<double> m_uptime;
    std::string m_uptimeText;
    std::string m_buffer; // reused for every file of a pass
    qsizetype m_lastCount = 0;
};

// The name a process is listed under: `comm`, or the last path component of
// its executable or argv[0] when `comm` is that name cut to the kernel's 15
// characters.
QString processDisplayName(std::string_view comm, const ProcessFacts &facts);

// The executable's path, else argv[0] when it is absolute, else empty.
std::string_view commandPathOf(const ProcessFacts &facts) noexcept;

} // namespace pelmora
