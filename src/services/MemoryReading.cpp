// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "MemoryReading.h"

#include <charconv>

namespace pelmora {
namespace {

std::string_view trimmedSpaces(std::string_view text) noexcept
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

// "   16314236 kB" -> bytes; nothing for another unit, junk or overflow.
std::optional<std::uint64_t> kibibytes(std::string_view value) noexcept
{
    value = trimmedSpaces(value);
    if (!value.ends_with("kB"))
        return std::nullopt;
    value = trimmedSpaces(value.substr(0, value.size() - 2));
    std::uint64_t kb = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), kb);
    if (value.empty() || ec != std::errc() || end != value.data() + value.size())
        return std::nullopt;
    std::uint64_t bytes = 0;
    if (__builtin_mul_overflow(kb, std::uint64_t(1024), &bytes))
        return std::nullopt;
    return bytes;
}

} // namespace

std::optional<MemInfoFields> parseMemInfo(std::string_view text) noexcept
{
    std::optional<std::uint64_t> total;
    std::optional<std::uint64_t> available;
    while (!text.empty() && !(total && available)) {
        const std::size_t lineEnd = text.find('\n');
        const std::string_view line = text.substr(0, lineEnd);
        text.remove_prefix(lineEnd == std::string_view::npos ? text.size() : lineEnd + 1);

        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        const std::string_view key = line.substr(0, colon);
        if (key == "MemTotal")
            total = kibibytes(line.substr(colon + 1));
        else if (key == "MemAvailable")
            available = kibibytes(line.substr(colon + 1));
    }
    if (!total || !available || *total == 0)
        return std::nullopt;
    return MemInfoFields{*total, *available};
}

MemoryInfo memoryInfoFrom(const std::optional<MemInfoFields> &fields, quint64 physicalMemoryBytes) noexcept
{
    if (!fields)
        return MemoryInfo{0, physicalMemoryBytes};
    const std::uint64_t total = fields->totalBytes;
    const std::uint64_t used = total > fields->availableBytes ? total - fields->availableBytes : 0;
    return MemoryInfo{used, total};
}

} // namespace pelmora
