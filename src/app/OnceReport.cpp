// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "OnceReport.h"

#include "stores/MetricsStore.h"
#include "support/MetricFormatters.h"

#include <QCoreApplication>
#include <QTextStream>
#include <QThread>

#include <algorithm>

namespace pelmora {
namespace {

constexpr qsizetype maxNameWidth = 40;

// What a terminal acts on instead of showing: C0 and C1 controls and DEL
// (escape sequences, line breaks, a carriage return that overwrites the
// row), line and paragraph separators, and the marks, embeddings, overrides
// and isolates that reorder the rest of the line in a terminal that lays out
// right-to-left text.
bool drivesTheTerminal(char16_t c)
{
    return c < 0x20 || (c >= 0x7f && c <= 0x9f) || c == 0x061c || c == 0x200e || c == 0x200f
        || (c >= 0x2028 && c <= 0x202e) || (c >= 0x2066 && c <= 0x2069);
}

QString elidedMiddle(const QString &text, qsizetype width)
{
    if (text.size() <= width)
        return text;
    qsizetype head = (width - 1) / 2;
    qsizetype tail = width - 1 - head;
    // Never split a character outside the Basic Multilingual Plane.
    if (head > 0 && text.at(head - 1).isHighSurrogate())
        --head;
    if (tail > 0 && text.at(text.size() - tail).isLowSurrogate())
        --tail;
    return text.left(head) + QChar(0x2026) + text.right(tail);
}

} // namespace

QString terminalSafe(QString text)
{
    for (QChar &c : text) {
        if (drivesTheTerminal(c.unicode()))
            c = u'?';
    }
    return text;
}

QString onceReport(const MetricsSnapshot &snapshot)
{
    QString out;
    QTextStream s(&out);
    s << QCoreApplication::translate("OnceReport", "CPU %1   Memory %2 (%3 / %4)")
             .arg(formattedPercent(snapshot.cpuPercent), formattedPercent(snapshot.memoryUsedPercent),
                  formattedBytes(snapshot.memoryUsedBytes), formattedBytes(snapshot.memoryTotalBytes))
      << '\n';

    if (snapshot.topCPUApps.isEmpty()) {
        s << QCoreApplication::translate("OnceReport", "No applications found.") << '\n';
        return out;
    }

    const QString headers[] = {QCoreApplication::translate("OnceReport", "Application"),
                               QCoreApplication::translate("OnceReport", "Processes"),
                               QCoreApplication::translate("OnceReport", "%CPU"),
                               QCoreApplication::translate("OnceReport", "Memory")};
    struct Row {
        QString name, processes, cpu, memory;
    };
    QList<Row> rows;
    qsizetype widths[] = {headers[0].size(), std::max<qsizetype>(9, headers[1].size()),
                          std::max<qsizetype>(7, headers[2].size()), std::max<qsizetype>(9, headers[3].size())};
    for (const AppMetric &app : snapshot.topCPUApps) {
        Row row{terminalSafe(app.name), QString::number(app.processes.size()), formattedProcessCPU(app.cpuPercent),
                formattedBytes(app.memoryBytes)};
        widths[0] = std::max(widths[0], std::min(row.name.size(), maxNameWidth));
        widths[1] = std::max(widths[1], row.processes.size());
        widths[2] = std::max(widths[2], row.cpu.size());
        widths[3] = std::max(widths[3], row.memory.size());
        rows.append(std::move(row));
    }

    s << headers[0].leftJustified(widths[0]) << "  " << headers[1].rightJustified(widths[1]) << "  "
      << headers[2].rightJustified(widths[2]) << "  " << headers[3].rightJustified(widths[3]) << '\n';
    for (const Row &row : rows) {
        s << elidedMiddle(row.name, widths[0]).leftJustified(widths[0]) << "  "
          << row.processes.rightJustified(widths[1]) << "  " << row.cpu.rightJustified(widths[2]) << "  "
          << row.memory.rightJustified(widths[3]) << '\n';
    }
    return out;
}

int runOnce()
{
    MetricsStore::Options options{SystemMetricsProvider(), ProcessMetricsProvider(), [] { return WallClock::now(); },
                                  MetricsStore::defaultRefreshInterval};
    // No event loop runs, so the store's timer never fires; the second sample is explicit.
    MetricsStore store(std::move(options));
    QThread::sleep(1);
    store.refresh();
    QTextStream(stdout) << onceReport(store.snapshot());
    return 0;
}

} // namespace pelmora
