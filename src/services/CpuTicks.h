// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace pelmora {

// Cumulative scheduler ticks of one processor (the `cpuN` line of /proc/stat),
// folded into four states: system holds irq, softirq and steal; idle holds
// iowait; guest time is already counted in user by the kernel.
struct ProcessorTicks {
    int cpu = 0; // N of `cpuN`
    std::uint64_t user = 0;
    std::uint64_t system = 0;
    std::uint64_t idle = 0;
    std::uint64_t nice = 0;

    friend bool operator==(const ProcessorTicks &, const ProcessorTicks &) = default;
};

// The per-processor lines of a /proc/stat text, ordered by processor number.
// The aggregate `cpu` line is ignored. Nothing when the text holds no `cpuN`
// line, a `cpuN` line is malformed, or a processor number repeats.
std::optional<std::vector<ProcessorTicks>> parseProcStatCpuLines(std::string_view text);

// One CPU reading kept as the baseline for the next.
struct CPUInfo {
    std::int64_t processorCount = 0;
    std::vector<ProcessorTicks> values; // ordered by processor number
    double percent = 0.0; // figure computed when this reading was taken

    friend bool operator==(const CPUInfo &, const CPUInfo &) = default;
};

struct CPUComparison {
    double percent = 0.0;
    CPUInfo baseline; // what the next reading is compared with
};

// Busy share of all processors since `baseline`: one ratio of ticks summed
// over processors (user, system and nice count as busy). The first reading
// gives 0; no elapsed tick, or a different set of processors (one went
// offline or came online), gives the baseline's figure. `readings` must be
// ordered by processor number, as the parser returns them.
CPUComparison compareCPUTicks(const std::optional<CPUInfo> &baseline, std::vector<ProcessorTicks> readings);

} // namespace pelmora
