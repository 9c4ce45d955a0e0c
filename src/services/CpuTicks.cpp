// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "CpuTicks.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace pelmora {
namespace {

bool isDigit(char c) noexcept
{
    return c >= '0' && c <= '9';
}

std::string_view nextToken(std::string_view &rest) noexcept
{
    while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t'))
        rest.remove_prefix(1);
    std::size_t end = 0;
    while (end < rest.size() && rest[end] != ' ' && rest[end] != '\t')
        ++end;
    const std::string_view token = rest.substr(0, end);
    rest.remove_prefix(end);
    return token;
}

template<typename Int> bool parseWhole(std::string_view token, Int &out) noexcept
{
    if (token.empty())
        return false;
    const auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), out);
    return ec == std::errc() && end == token.data() + token.size();
}

// Sums stay below 2^64 on any real machine; saturating keeps busy <= total
// (and the figure within 0..100) even for nonsense counters.
std::uint64_t addCapped(std::uint64_t a, std::uint64_t b) noexcept
{
    std::uint64_t sum = 0;
    return __builtin_add_overflow(a, b, &sum) ? std::numeric_limits<std::uint64_t>::max() : sum;
}

// One `cpuN` line without its label. Kernels before 2.6.11 print fewer than
// the eight states read here; absent ones count as 0, but the first four
// (user nice system idle) have always been there.
std::optional<ProcessorTicks> parseCounters(int cpu, std::string_view rest) noexcept
{
    std::uint64_t state[8] = {}; // user nice system idle iowait irq softirq steal
    int count = 0;
    for (std::string_view token = nextToken(rest); !token.empty(); token = nextToken(rest)) {
        if (count < 8 && !parseWhole(token, state[count]))
            return std::nullopt;
        ++count;
    }
    if (count < 4)
        return std::nullopt;
    ProcessorTicks ticks;
    ticks.cpu = cpu;
    ticks.user = state[0];
    ticks.nice = state[1];
    ticks.system = addCapped(addCapped(state[2], state[5]), addCapped(state[6], state[7]));
    ticks.idle = addCapped(state[3], state[4]);
    return ticks;
}

std::uint64_t elapsed(std::uint64_t now, std::uint64_t before) noexcept
{
    return now > before ? now - before : 0;
}

bool sameProcessors(const std::vector<ProcessorTicks> &a, const std::vector<ProcessorTicks> &b) noexcept
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const ProcessorTicks &x, const ProcessorTicks &y) { return x.cpu == y.cpu; });
}

} // namespace

std::optional<std::vector<ProcessorTicks>> parseProcStatCpuLines(std::string_view text)
{
    std::vector<ProcessorTicks> result;
    while (!text.empty()) {
        const std::size_t lineEnd = text.find('\n');
        std::string_view line = text.substr(0, lineEnd);
        text.remove_prefix(lineEnd == std::string_view::npos ? text.size() : lineEnd + 1);

        if (!line.starts_with("cpu") || line.size() < 4 || !isDigit(line[3]))
            continue; // the aggregate line and everything that is not about processors
        line.remove_prefix(3);
        const std::string_view label = nextToken(line);
        int cpu = 0;
        if (!parseWhole(label, cpu))
            return std::nullopt;
        const std::optional<ProcessorTicks> ticks = parseCounters(cpu, line);
        if (!ticks)
            return std::nullopt;
        result.push_back(*ticks);
    }
    if (result.empty())
        return std::nullopt;
    std::sort(result.begin(), result.end(),
              [](const ProcessorTicks &a, const ProcessorTicks &b) { return a.cpu < b.cpu; });
    const auto repeated = std::adjacent_find(result.begin(), result.end(),
                                             [](const auto &a, const auto &b) { return a.cpu == b.cpu; });
    if (repeated != result.end())
        return std::nullopt;
    return result;
}

CPUComparison compareCPUTicks(const std::optional<CPUInfo> &baseline, std::vector<ProcessorTicks> readings)
{
    CPUComparison out;
    out.baseline.processorCount = std::int64_t(readings.size());
    out.baseline.values = std::move(readings);
    const std::vector<ProcessorTicks> &now = out.baseline.values;

    if (!baseline) {
        out.percent = 0.0;
    } else if (!sameProcessors(now, baseline->values)) {
        out.percent = baseline->percent;
    } else {
        std::uint64_t busy = 0;
        std::uint64_t idle = 0;
        for (std::size_t i = 0; i < now.size(); ++i) {
            const ProcessorTicks &a = baseline->values[i];
            const ProcessorTicks &b = now[i];
            busy = addCapped(busy, elapsed(b.user, a.user));
            busy = addCapped(busy, elapsed(b.system, a.system));
            busy = addCapped(busy, elapsed(b.nice, a.nice));
            idle = addCapped(idle, elapsed(b.idle, a.idle));
        }
        const std::uint64_t total = addCapped(busy, idle);
        out.percent = total == 0 ? baseline->percent : double(busy) / double(total) * 100.0;
    }
    out.baseline.percent = out.percent;
    return out;
}

} // namespace pelmora
