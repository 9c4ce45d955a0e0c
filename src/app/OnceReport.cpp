// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "OnceReport.h"

#include "stores/MetricsStore.h"
#include "support/MetricFormatters.h"

#include <QTextStream>
#include <QThread>

#include <algorithm>

namespace pelmora {
namespace {

constexpr qsizetype maxNameWidth = 40;

QString elidedMiddle(const QString &text, qsizetype width)
{
    if (text.size() <= width)
        return text;
    const qsizetype head = (width - 1) / 2;
    const qsizetype tail = width - 1 - head;
    return text.left(head) + QChar(0x2026) + text.right(tail);
}

} // namespace

QString onceReport(const MetricsSnapshot &snapshot)
{
    QString out;
    QTextStream s(&out);
    s << "CPU " << formattedPercent(snapshot.cpuPercent) << "   Memory "
      << formattedPercent(snapshot.memoryUsedPercent) << " (" << formattedBytes(snapshot.memoryUsedBytes) << " / "
      << formattedBytes(snapshot.memoryTotalBytes) << ")\n";

    if (snapshot.topCPUApps.isEmpty()) {
        s << "No applications found.\n";
        return out;
    }

    qsizetype nameWidth = 11; // "Application"
    for (const AppMetric &app : snapshot.topCPUApps)
        nameWidth = std::max(nameWidth, std::min(app.name.size(), maxNameWidth));

    s << QStringLiteral("Application").leftJustified(nameWidth) << "  " << QStringLiteral("Processes").rightJustified(9)
      << "  " << QStringLiteral("%CPU").rightJustified(7) << "  " << QStringLiteral("Memory").rightJustified(9) << '\n';
    for (const AppMetric &app : snapshot.topCPUApps) {
        s << elidedMiddle(app.name, nameWidth).leftJustified(nameWidth) << "  "
          << QString::number(app.processes.size()).rightJustified(9) << "  "
          << formattedProcessCPU(app.cpuPercent).rightJustified(7) << "  "
          << formattedBytes(app.memoryBytes).rightJustified(9) << '\n';
    }
    return out;
}

int runOnce()
{
    MetricsStore::Options options{SystemMetricsProvider(), ProcessMetricsProvider(),
                                  [] { return WallClock::now(); }, MetricsStore::defaultRefreshInterval};
    // No event loop runs, so the store's timer never fires; the second sample is explicit.
    MetricsStore store(std::move(options));
    QThread::sleep(1);
    store.refresh();
    QTextStream(stdout) << onceReport(store.snapshot());
    return 0;
}

} // namespace pelmora
