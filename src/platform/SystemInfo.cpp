// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SystemInfo.h"

#include <unistd.h>

namespace pelmora::platform {

std::uint64_t physicalMemoryBytes() noexcept
{
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return 0;
    return std::uint64_t(pages) * std::uint64_t(pageSize);
}

std::uint64_t pageSizeBytes() noexcept
{
    const long size = ::sysconf(_SC_PAGESIZE);
    return size > 0 ? std::uint64_t(size) : 4096;
}

std::uint64_t clockTicksPerSecond() noexcept
{
    const long ticks = ::sysconf(_SC_CLK_TCK);
    return ticks > 0 ? std::uint64_t(ticks) : 100;
}

} // namespace pelmora::platform
