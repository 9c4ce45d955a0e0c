// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "CpuTicks.h"
#include "MemoryReading.h"
#include "platform/ProcFs.h"

#include <optional>
#include <string>

namespace pelmora {

// Whole-machine CPU and memory, read from /proc/stat and /proc/meminfo below
// `procRoot`. Owned by the store for its whole life.
class SystemMetricsProvider {
public:
    explicit SystemMetricsProvider(std::string procRoot = "/proc");

    SystemMetricsProvider(SystemMetricsProvider &&) noexcept = default;
    SystemMetricsProvider &operator=(SystemMetricsProvider &&) noexcept = default;

    // Busy share of all processors (0..100) since the previous successful
    // reading; 0 for the first. When /proc/stat cannot be read or parsed: the
    // previous figure (0 before any), and the baseline stays.
    double readCPUPercent();

    // Used and total memory; 0 used of the physical memory when /proc/meminfo
    // cannot be read or parsed.
    MemoryInfo readMemory() const;

    const std::optional<CPUInfo> &previousCPUInfo() const noexcept { return m_previousCPUInfo; }

private:
    platform::ProcRoot m_root;
    std::optional<CPUInfo> m_previousCPUInfo;
    mutable std::string m_buffer; // reused by every reading
};

} // namespace pelmora
