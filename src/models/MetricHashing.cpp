// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "AppMetric.h"
#include "ProcessMetric.h"

#include <QHashFunctions>

namespace pelmora {
namespace {

template<typename T> size_t mix(size_t seed, const T &value) noexcept
{
    return seed ^ (::qHash(value) + 0x9e3779b9 + (seed << 6) + (seed >> 2));
}

// Equal doubles must hash alike: +0.0 == -0.0, so fold the sign of zero first.
size_t mixDouble(size_t seed, double value) noexcept
{
    return mix(seed, value == 0.0 ? 0.0 : value);
}

size_t mixProcess(size_t seed, const ProcessMetric &p) noexcept
{
    seed = mix(seed, p.id);
    seed = mix(seed, p.appName);
    seed = mix(seed, p.name);
    seed = mixDouble(seed, p.cpuPercent);
    seed = mix(seed, p.memoryBytes);
    return mix(seed, p.startTime);
}

} // namespace

size_t qHash(const ProcessMetric &process, size_t seed) noexcept
{
    return mixProcess(seed, process);
}

size_t qHash(const AppMetric &app, size_t seed) noexcept
{
    seed = mix(seed, app.id);
    seed = mix(seed, app.name);
    seed = mixDouble(seed, app.cpuPercent);
    seed = mix(seed, app.memoryBytes);
    seed = mix(seed, app.processes.size());
    for (const ProcessMetric &p : app.processes)
        seed = mixProcess(seed, p);
    return seed;
}

} // namespace pelmora
