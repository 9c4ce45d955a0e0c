// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "models/MetricsSnapshot.h"
#include "models/QuitOutcome.h"
#include "services/ProcessMetricsProvider.h"
#include "services/SystemMetricsProvider.h"
#include "stores/StatusTitleRule.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <functional>
#include <optional>

namespace pelmora {

// The single owner of the current sample. Refreshes on a timer on the main
// thread, publishes immutable snapshots, derives the throttled figures of the
// panel item and records each step in the optional probe trail. Change
// signals are emitted after the new value is stored, so observers read the
// new value.
class MetricsStore : public QObject {
    Q_OBJECT

public:
    using Clock = std::function<WallClock::time_point()>;

    static constexpr std::chrono::milliseconds defaultRefreshInterval{5000};

    // By default the real machine, refreshed every 5 s.
    struct Options {
        SystemMetricsProvider systemProvider;
        ProcessMetricsProvider processProvider;
        Clock wallClock = [] { return WallClock::now(); };
        std::chrono::milliseconds refreshInterval = defaultRefreshInterval;
        // A quit or an end refreshes this long after it, once the processes had a moment to go.
        std::chrono::milliseconds quitFollowUpDelay{1000};
    };

    // Writes the first probe events and runs the first refresh before returning.
    explicit MetricsStore(Options options, QObject *parent = nullptr);
    ~MetricsStore() override;

    const MetricsSnapshot &snapshot() const { return m_snapshot; }
    // The panel item's figures; none until the title rule lets the first through.
    const std::optional<StatusFigures> &statusFigures() const { return m_statusFigures; }

public Q_SLOTS:
    // One refresh now, also while paused.
    void refresh();
    // Asks each process of `app` to quit; refreshes after the follow-up delay.
    // quitAnswered() tells what came of it once the requests are out.
    void quit(const pelmora::AppMetric &app);
    // Ends the application `appId` of the current sample: SIGTERM to the
    // user's own processes of it, for one that nothing could ask, after the
    // user agreed to lose unsaved work. Refreshes after the follow-up delay.
    void endApp(const QString &appId);
    // While paused, timer ticks do nothing. Nothing else happens here.
    void setUpdatesPaused(bool paused);

Q_SIGNALS:
    void snapshotChanged();
    void statusFiguresChanged();
    // What came of quit(): requests are on their way, or why none could be.
    void quitAnswered(const pelmora::QuitOutcome &outcome);

private:
    void start();
    void onTimerTick();
    void applyStatusTitleRule(const MetricsSnapshot &snapshot);

    MetricsSnapshot m_snapshot;
    std::optional<StatusFigures> m_statusFigures;
    SystemMetricsProvider m_systemProvider;
    ProcessMetricsProvider m_processProvider;
    Clock m_wallClock;
    std::chrono::milliseconds m_quitFollowUpDelay;
    QTimer *m_refreshTimer; // the child "refreshTimer"
    std::optional<WallClock::time_point> m_lastStatusTitleUpdate;
    bool m_isRefreshPaused = false;
};

} // namespace pelmora
