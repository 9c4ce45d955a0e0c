// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Two /proc/stat texts separated by "\n--\n": each is parsed, and the second
// reading is compared with the first as its baseline (and back again).
#include "FuzzCheck.h"

#include "services/CpuTicks.h"

#include <cmath>

using namespace pelmora;

namespace {

void checkReadings(const std::vector<ProcessorTicks> &readings)
{
    FUZZ_CHECK(!readings.empty());
    for (std::size_t i = 0; i < readings.size(); ++i) {
        FUZZ_CHECK(readings[i].cpu >= 0);
        if (i > 0)
            FUZZ_CHECK(readings[i - 1].cpu < readings[i].cpu);
    }
}

void checkPercent(double percent)
{
    FUZZ_CHECK(std::isfinite(percent));
    FUZZ_CHECK(percent >= 0.0 && percent <= 100.0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::vector<std::string_view> texts = fuzz::parts(fuzz::text(data, size), 2);
    const auto first = parseProcStatCpuLines(texts[0]);
    const auto second = parseProcStatCpuLines(texts[1]);
    if (!first)
        return 0;
    checkReadings(*first);

    const CPUComparison initial = compareCPUTicks(std::nullopt, *first);
    FUZZ_CHECK(initial.percent == 0.0);
    FUZZ_CHECK(initial.baseline.values == *first);
    FUZZ_CHECK(initial.baseline.processorCount == std::int64_t(first->size()));

    // No tick elapsed: the baseline's figure stands.
    FUZZ_CHECK(compareCPUTicks(initial.baseline, *first).percent == initial.percent);

    if (!second)
        return 0;
    checkReadings(*second);
    const CPUComparison forward = compareCPUTicks(initial.baseline, *second);
    checkPercent(forward.percent);
    FUZZ_CHECK(forward.baseline.percent == forward.percent);
    // Counters that went backwards (a reset or a different machine) must not
    // push the figure out of range either.
    const CPUComparison backward = compareCPUTicks(forward.baseline, *first);
    checkPercent(backward.percent);
    return 0;
}
