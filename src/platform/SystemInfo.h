// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>

// Machine constants from sysconf(3). Each is asked of the kernel on every call.
namespace pelmora::platform {

// Physical memory in bytes (pages × page size); 0 when the query fails.
std::uint64_t physicalMemoryBytes() noexcept;

// Page size in bytes; 4096 when the query fails.
std::uint64_t pageSizeBytes() noexcept;

// Scheduler clock ticks per second (USER_HZ); 100 when the query fails.
std::uint64_t clockTicksPerSecond() noexcept;

} // namespace pelmora::platform
