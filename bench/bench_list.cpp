// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The application list with 50, 500 and 5,000 synthetic applications: the
// list logic per sort column and with a query, the list model taking a new
// snapshot, and one paint of the open popover (offscreen).
//   pelmora_bench_list [--runs N]
// Each size gets its own fixture machine (fake /proc and desktop entries), a
// store over it and an open popover; the sizes are measured in turn within
// every round, so the paint ratios compare neighbours in time.
#include "BenchStats.h"

#include "app/Appearance.h"
#include "listlogic/AppListLogic.h"
#include "stores/MetricsStore.h"
#include "testsupport/FixtureMachine.h"
#include "views/AppListModel.h"
#include "views/MetricsSectionView.h"
#include "views/PopoverView.h"

#include <QApplication>
#include <QPixmap>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

using namespace pelmora;
using namespace pelmora::bench;

namespace {

const char *const firstWords[] = {"Nimbus",  "Quartz", "Harbor", "Lumen",  "Cobalt", "Maple",  "Orbit", "Pixel",
                                  "Saffron", "Tundra", "Vertex", "Willow", "Amber",  "Basalt", "Cedar", "Delta"};
const char *const secondWords[] = {"Editor", "Player", "Viewer", "Terminal", "Browser", "Mail",  "Notes", "Calendar",
                                   "Studio", "Office", "Photos", "Maps",     "Chat",    "Music", "Files", "Monitor"};

// A small deterministic generator, so every run lists the same machine.
class Lcg {
public:
    double next()
    {
        m_state = m_state * 6364136223846793005ULL + 1442695040888963407ULL;
        return double(m_state >> 11) / double(1ULL << 53);
    }

private:
    quint64 m_state = 42;
};

struct Scene {
    explicit Scene(int count) : count(count)
    {
        Lcg random;
        for (int i = 0; i < count; ++i) {
            const QString second = QLatin1String(secondWords[(i / 16) % 16]);
            const QString name = QStringLiteral("%1 %2 %3").arg(QLatin1String(firstWords[i % 16]), second).arg(i);
            QList<FixtureMachine::Process> processes;
            for (int p = 0; p <= i % 3; ++p) {
                const double cpu = random.next() < 0.4 ? 0.0 : std::round(random.next() * 300) / 10;
                const quint64 memory = quint64(8 + random.next() * 2000) << 20;
                processes.append({second.toLower() + QStringLiteral("-%1-%2").arg(i).arg(p), cpu, memory, 1});
            }
            machine.addApp(name, processes);
        }
        machine.setMemory(quint64(10) << 30, quint64(16) << 30);
        machine.advanceMachineCpu(37.0);
        store = std::make_unique<MetricsStore>(machine.storeOptions());
        machine.advanceMachineCpu(41.0);
        store->refresh();

        // The same applications a moment later: other figures, another order.
        next = store->snapshot();
        for (AppMetric &app : next.allApps) {
            app.cpuPercent = std::fmod(app.cpuPercent * 1.7 + 3.1, 40.0);
            app.memoryBytes += 4096 * quint64(app.processes.size());
        }

        popover = std::make_unique<PopoverView>(*store, SettingsLocation{settings.filePath("pelmora.conf")});
        popover->show();
        QApplication::processEvents();
    }

    int count;
    FixtureMachine machine;
    QTemporaryDir settings;
    std::unique_ptr<MetricsStore> store;
    MetricsSnapshot next;
    std::unique_ptr<PopoverView> popover;
    AppListModel bareModel;

    Series byName, byCpu, byMemory, withQuery, bareModelUpdate, listUpdate, listUpdateAndPaint, paint;
};

template<typename Work> void add(Series &series, Work &&work)
{
    series.add(measure(work).wallMs);
}

} // namespace

int main(int argc, char *argv[])
{
    int rounds = 30;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--runs") == 0)
            rounds = std::atoi(argv[i + 1]);
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qunsetenv("PELMORA_METRICS_PROBE_PATH");
    QApplication app(argc, argv);
    applyLightAppearance(app);

    std::vector<std::unique_ptr<Scene>> scenes;
    for (int count : {50, 500, 5000}) {
        std::fprintf(stderr, "list: building a machine with %d applications\n", count);
        scenes.push_back(std::make_unique<Scene>(count));
        if (scenes.back()->store->snapshot().allApps.size() != count) {
            std::fprintf(stderr, "list: expected %d applications, the store has %lld\n", count,
                         static_cast<long long>(scenes.back()->store->snapshot().allApps.size()));
            return 1;
        }
    }

    std::fprintf(stderr, "list: %d rounds\n", rounds);
    std::size_t sink = 0;
    for (int round = -3; round < rounds; ++round) { // three rounds of warm-up
        for (auto &scene : scenes) {
            Scene &s = *scene;
            const MetricsSnapshot &current = s.store->snapshot();
            Series ignored;
            const bool keep = round >= 0;
            auto run = [&](Series &series, auto &&work) { add(keep ? series : ignored, work); };

            run(s.byName, [&] { sink += AppListLogic::filteredApps(current, {{}, {}, AppMetricKind::app}).size(); });
            run(s.byCpu, [&] { sink += AppListLogic::filteredApps(current, {{}, {}, AppMetricKind::cpu}).size(); });
            run(s.byMemory, [&] {
                sink += AppListLogic::filteredApps(current, {{}, {}, AppMetricKind::memory}).size();
            });
            run(s.withQuery, [&] {
                sink += AppListLogic::filteredApps(current, {QStringLiteral("play"), {}, AppMetricKind::cpu}).size();
            });

            // Every update brings other figures for every row, and a new order.
            const AppListState byCpu{{}, {}, AppMetricKind::cpu};
            const QList<AppMetric> now = AppListLogic::filteredApps(current, byCpu);
            const QList<AppMetric> later = AppListLogic::filteredApps(s.next, byCpu);
            s.bareModel.setItems(now);
            run(s.bareModelUpdate, [&] { s.bareModel.setItems(later); });

            // The popover's own list, driven with actions that change nothing.
            MetricsSectionView &section = *s.popover->findChild<MetricsSectionView *>(QStringLiteral("applications"));
            AppListState listState;
            const AppListActions actions = makeAppListActions(
                listState, [] {}, [](const AppMetric &) {}, [](bool) {});
            section.setContent(AppMetricKind::cpu, now, actions);
            QApplication::processEvents();
            run(s.listUpdate, [&] { section.setContent(AppMetricKind::cpu, later, actions); });
            QApplication::processEvents();
            section.setContent(AppMetricKind::cpu, now, actions);
            run(s.listUpdateAndPaint, [&] {
                section.setContent(AppMetricKind::cpu, later, actions);
                sink += s.popover->grab().width();
            });
            QApplication::processEvents();
            run(s.paint, [&] { sink += s.popover->grab().width(); });
        }
    }
    std::fprintf(stderr, "list: done (%zu)\n", sink);

    const Scene &smallest = *scenes.front();
    for (const auto &scene : scenes) {
        const Scene &s = *scene;
        const std::string n = std::to_string(s.count) + " apps";
        printRow("2", "filteredApps by name — " + n, s.byName, "ms");
        printRow("2", "filteredApps by %CPU — " + n, s.byCpu, "ms");
        printRow("2", "filteredApps by memory — " + n, s.byMemory, "ms");
        printRow("2", "filteredApps, query \"play\", by %CPU — " + n, s.withQuery, "ms");
        printRow("2", "AppListModel::setItems, next snapshot (no view) — " + n, s.bareModelUpdate, "ms");
        printRow("2", "open list takes the next snapshot (setContent) — " + n, s.listUpdate, "ms");
        printRow("2", "… and paints it (setContent + grab) — " + n, s.listUpdateAndPaint, "ms");
        const QSize size = s.popover->size();
        const std::string grab = "grab, " + std::to_string(size.width()) + "×" + std::to_string(size.height());
        printRow("2", "paint of the open popover (" + grab + ") — " + n, s.paint, "ms",
                 &s == &smallest ? std::string() : ratioText(ratios(s.paint, smallest.paint)) + " the 50-app paint");
    }
    return 0;
}
