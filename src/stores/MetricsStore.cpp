// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "MetricsStore.h"

#include "support/RuntimeProbe.h"

#include <QPointer>

namespace pelmora {
namespace {

// Builds the event's fields only when the trail is on.
template<typename MakeFields> void probe(const char *event, MakeFields &&makeFields)
{
    if (!RuntimeProbe::path())
        return;
    RuntimeProbe::Fields fields = makeFields();
    fields.emplace(QStringLiteral("event"), QLatin1StringView(event));
    RuntimeProbe::append(fields);
}

void probe(const char *event)
{
    probe(event, [] { return RuntimeProbe::Fields{}; });
}

double usedPercent(quint64 used, quint64 total)
{
    if (total == 0)
        return 0.0;
    return double(used) / double(total) * 100.0;
}

} // namespace

MetricsStore::MetricsStore(Options options, QObject *parent)
    : QObject(parent)
    , m_snapshot(MetricsSnapshot::empty())
    , m_systemProvider(std::move(options.systemProvider))
    , m_processProvider(std::move(options.processProvider))
    , m_wallClock(std::move(options.wallClock))
    , m_quitFollowUpDelay(options.quitFollowUpDelay)
    , m_refreshTimer(new QTimer(this))
{
    m_refreshTimer->setObjectName(QStringLiteral("refreshTimer"));
    m_refreshTimer->setInterval(options.refreshInterval);
    // Precise: a coarse timer may fire up to 5 % early or late, and a tick
    // that comes early finds the title throttle's 5 s not yet passed.
    m_refreshTimer->setTimerType(Qt::PreciseTimer);
    connect(m_refreshTimer, &QTimer::timeout, this, &MetricsStore::onTimerTick);
    probe("metricsStoreInit");
    start();
}

MetricsStore::~MetricsStore() = default;

void MetricsStore::start()
{
    probe("metricsStoreStart");
    refresh();
    m_refreshTimer->start();
}

void MetricsStore::onTimerTick()
{
    if (!m_isRefreshPaused)
        refresh();
}

void MetricsStore::refresh()
{
    probe("refreshBegin");
    const double cpuPercent = m_systemProvider.readCPUPercent();
    const MemoryInfo memory = m_systemProvider.readMemory();
    const double memoryUsedPercent = usedPercent(memory.usedBytes, memory.totalBytes);
    probe("systemMetricsRead");

    RankedApps apps = m_processProvider.readApps();
    probe("processMetricsRead", [&] {
        return RuntimeProbe::Fields{
            {QStringLiteral("topCPUCount"), QString::number(apps.cpu.size())},
            {QStringLiteral("topMemoryCount"), QString::number(apps.memory.size())},
        };
    });

    MetricsSnapshot next;
    next.cpuPercent = cpuPercent;
    next.memoryUsedPercent = memoryUsedPercent;
    next.memoryUsedBytes = memory.usedBytes;
    next.memoryTotalBytes = memory.totalBytes;
    next.allApps = std::move(apps.all);
    next.topCPUApps = std::move(apps.cpu);
    next.topMemoryApps = std::move(apps.memory);
    next.sampledAt = m_wallClock();
    m_snapshot = std::move(next);
    Q_EMIT snapshotChanged();

    applyStatusTitleRule(m_snapshot);

    probe("snapshot", [this] {
        return RuntimeProbe::Fields{
            {QStringLiteral("cpuPercent"), RuntimeProbe::formatNumber(m_snapshot.cpuPercent)},
            {QStringLiteral("memoryUsedBytes"), QString::number(m_snapshot.memoryUsedBytes)},
            {QStringLiteral("sampledAt"), RuntimeProbe::formatNumber(secondsSinceEpoch(m_snapshot.sampledAt))},
            {QStringLiteral("topCPUCount"), QString::number(m_snapshot.topCPUApps.size())},
            {QStringLiteral("topMemoryCount"), QString::number(m_snapshot.topMemoryApps.size())},
        };
    });
}

void MetricsStore::applyStatusTitleRule(const MetricsSnapshot &snapshot)
{
    if (snapshot.topCPUApps.isEmpty() && snapshot.topMemoryApps.isEmpty())
        return;
    // "Now" is taken after the process table was read, as the throttle intends.
    const WallClock::time_point now = m_wallClock();
    const std::optional<StatusFigures> figures = StatusTitleRule::figuresFor(snapshot, m_lastStatusTitleUpdate, now);
    if (!figures)
        return;
    m_lastStatusTitleUpdate = now;
    m_statusFigures = figures;
    Q_EMIT statusFiguresChanged();
}

void MetricsStore::quit(const AppMetric &app)
{
    // The answer may come late (the bus is asked asynchronously): not to a store that is gone.
    m_processProvider.quit(app, [store = QPointer<MetricsStore>(this)](const QuitOutcome &outcome) {
        if (store)
            Q_EMIT store->quitAnswered(outcome);
    });
    // Bound to this store: a pending follow-up does nothing once it is gone.
    QTimer::singleShot(m_quitFollowUpDelay, this, &MetricsStore::refresh);
}

void MetricsStore::endApp(const QString &appId)
{
    const auto app = std::find_if(m_snapshot.allApps.cbegin(), m_snapshot.allApps.cend(),
                                  [&](const AppMetric &candidate) { return candidate.id == appId; });
    if (app == m_snapshot.allApps.cend())
        return;
    m_processProvider.end(*app);
    QTimer::singleShot(m_quitFollowUpDelay, this, &MetricsStore::refresh);
}

void MetricsStore::setUpdatesPaused(bool paused)
{
    m_isRefreshPaused = paused;
}

} // namespace pelmora
