// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "ProcessMetric.h"

#include <QList>
#include <QString>

namespace pelmora {

// One application: the aggregate of its processes. Identity: `id`, the
// lower-cased application name, stable from one sample to the next.
struct AppMetric {
    QString id;
    QString name; // appName of the busiest process
    double cpuPercent = 0.0; // sum over processes
    quint64 memoryBytes = 0; // sum over processes
    QList<ProcessMetric> processes; // busiest first; never empty

    friend bool operator==(const AppMetric &, const AppMetric &) = default;
};

size_t qHash(const AppMetric &app, size_t seed = 0) noexcept;

} // namespace pelmora
