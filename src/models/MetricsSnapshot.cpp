// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "MetricsSnapshot.h"

#include "platform/SystemInfo.h"

namespace pelmora {

const MetricsSnapshot &MetricsSnapshot::empty()
{
    // A function-local static is initialised once, thread-safely.
    static const MetricsSnapshot placeholder = [] {
        MetricsSnapshot s;
        s.memoryTotalBytes = platform::physicalMemoryBytes();
        s.sampledAt = WallClock::now();
        return s;
    }();
    return placeholder;
}

double secondsSinceEpoch(WallClock::time_point t) noexcept
{
    return std::chrono::duration<double>(t.time_since_epoch()).count();
}

} // namespace pelmora
