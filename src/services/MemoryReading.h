// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QtGlobal>

#include <cstdint>
#include <optional>
#include <string_view>

namespace pelmora {

// One memory reading as the store receives it.
struct MemoryInfo {
    quint64 usedBytes = 0; // never more than totalBytes
    quint64 totalBytes = 0; // the machine's physical memory

    friend bool operator==(const MemoryInfo &, const MemoryInfo &) = default;
};

// The two /proc/meminfo lines the memory figure is made of, in bytes.
struct MemInfoFields {
    std::uint64_t totalBytes = 0; // MemTotal
    std::uint64_t availableBytes = 0; // MemAvailable
};

// Reads MemTotal and MemAvailable (kB) from a /proc/meminfo text. Nothing when
// either is missing or malformed (kernels before 3.14 have no MemAvailable)
// or MemTotal is 0.
std::optional<MemInfoFields> parseMemInfo(std::string_view text) noexcept;

// Used = MemTotal - MemAvailable (what `free` reports as used), never below 0
// nor above the total. A failed read gives 0 used of `physicalMemoryBytes`.
MemoryInfo memoryInfoFrom(const std::optional<MemInfoFields> &fields, quint64 physicalMemoryBytes) noexcept;

} // namespace pelmora
