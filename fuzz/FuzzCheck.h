// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArrayView>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

// A broken property aborts, which libFuzzer records as a crash with its input.
#define FUZZ_CHECK(condition)                                                                                          \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition);                      \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (false)

namespace fuzz {

inline std::string_view text(const std::uint8_t *data, std::size_t size)
{
    return {reinterpret_cast<const char *>(data), size};
}

inline QByteArrayView bytes(const std::uint8_t *data, std::size_t size)
{
    return {reinterpret_cast<const char *>(data), qsizetype(size)};
}

// Splits an input at each "\n--\n" into at most `count` texts, so one input
// can carry several files or readings; missing ones are empty.
inline std::vector<std::string_view> parts(std::string_view input, std::size_t count)
{
    constexpr std::string_view separator = "\n--\n";
    std::vector<std::string_view> out;
    while (out.size() + 1 < count) {
        const std::size_t at = input.find(separator);
        if (at == std::string_view::npos)
            break;
        out.push_back(input.substr(0, at));
        input.remove_prefix(at + separator.size());
    }
    out.push_back(input);
    out.resize(count);
    return out;
}

} // namespace fuzz
