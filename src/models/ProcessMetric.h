// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <QtGlobal>

namespace pelmora {

// One running process as read in one sample. Identity: `id` (the pid).
struct ProcessMetric {
    qint32 id = 0;
    QString appName; // the application it is counted under
    QString name; // its own name
    double cpuPercent = 0.0;
    quint64 memoryBytes = 0;
    // When the process started, in clock ticks since boot (/proc/PID/stat
    // field 22); 0 when unknown. With `id` it names the process the user saw,
    // so an action never reaches a later process that took over the pid.
    quint64 startTime = 0;

    friend bool operator==(const ProcessMetric &, const ProcessMetric &) = default;
};

size_t qHash(const ProcessMetric &process, size_t seed = 0) noexcept;

} // namespace pelmora
