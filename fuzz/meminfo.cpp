// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// One /proc/meminfo text and the memory figure made from it.
#include "FuzzCheck.h"

#include "services/MemoryReading.h"

using namespace pelmora;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    constexpr quint64 physical = quint64(16) << 30;
    const std::optional<MemInfoFields> fields = parseMemInfo(fuzz::text(data, size));
    const MemoryInfo info = memoryInfoFrom(fields, physical);
    FUZZ_CHECK(info.usedBytes <= info.totalBytes);
    if (!fields) {
        FUZZ_CHECK(info.usedBytes == 0 && info.totalBytes == physical);
        return 0;
    }
    FUZZ_CHECK(fields->totalBytes > 0);
    FUZZ_CHECK(fields->totalBytes % 1024 == 0 && fields->availableBytes % 1024 == 0);
    FUZZ_CHECK(info.totalBytes == fields->totalBytes);
    if (fields->availableBytes <= fields->totalBytes)
        FUZZ_CHECK(info.usedBytes + fields->availableBytes == info.totalBytes);
    else
        FUZZ_CHECK(info.usedBytes == 0);
    return 0;
}
