// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SystemMetricsProvider.h"

#include "platform/SystemInfo.h"

#include <utility>

namespace pelmora {

SystemMetricsProvider::SystemMetricsProvider(std::string procRoot) : m_root(std::move(procRoot))
{
}

double SystemMetricsProvider::readCPUPercent()
{
    std::optional<std::vector<ProcessorTicks>> readings;
    if (m_root.readFile("stat", m_buffer))
        readings = parseProcStatCpuLines(m_buffer);
    if (!readings)
        return m_previousCPUInfo ? m_previousCPUInfo->percent : 0.0;

    CPUComparison result = compareCPUTicks(m_previousCPUInfo, *std::move(readings));
    m_previousCPUInfo = std::move(result.baseline);
    return result.percent;
}

MemoryInfo SystemMetricsProvider::readMemory() const
{
    std::optional<MemInfoFields> fields;
    if (m_root.readFile("meminfo", m_buffer, 64 * 1024))
        fields = parseMemInfo(m_buffer);
    return memoryInfoFrom(fields, fields ? 0 : platform::physicalMemoryBytes());
}

} // namespace pelmora
