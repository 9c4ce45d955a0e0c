// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "testsupport/FixtureMachine.h"

#include "stores/MetricsStore.h"
#include "support/PopoverHeightSetting.h"
#include "views/AppListModel.h"
#include "views/MetricsSectionView.h"
#include "views/PaddedListView.h"

#include <QMenu>
#include <QTemporaryDir>

#include <memory>

// A part of the popover, found as tests find it: by its object name.
template<typename T> T *part(const QWidget &popover, const char *name)
{
    T *found = popover.findChild<T *>(QLatin1StringView(name));
    if (!found)
        qFatal("the popover has no %s named \"%s\"", T::staticMetaObject.className(), name);
    return found;
}

// Whether the popover shows one application's processes rather than the application list.
inline bool showsProcesses(const QWidget &popover)
{
    return part<QWidget>(popover, "processScroller")->isVisibleTo(&popover);
}

// Chooses from an application row's menu as a user would: the row, scrolled
// into view, asks for its menu, which returns its first item ("Show all …
// processes") or its last ("Quit …"). The command runs one event-loop turn later.
enum class RowCommand { showProcesses, quit };
inline void chooseFromRowMenu(const QWidget &popover, const QString &appID, RowCommand command)
{
    auto *applications = part<pelmora::MetricsSectionView>(popover, "applications");
    const pelmora::AppListModel &model = applications->model();
    for (int row = 0; row < model.rowCount(); ++row)
        if (model.itemAt(row).id == appID)
            applications->listView()->scrollTo(model.index(row));
    applications->menuPresenter().setMenuRunner([command](QMenu &menu, QPoint) {
        return command == RowCommand::showProcesses ? menu.actions().constFirst() : menu.actions().constLast();
    });
    applications->requestActions(appID);
}

// A store whose second sample has long names, multi-process applications and
// every emphasis colour in the CPU-sorted list.
struct PopoverFixture {
    static constexpr quint64 MiB = quint64(1) << 20, GiB = MiB << 10;

    FixtureMachine machine;
    QTemporaryDir settingsDir;
    // A quit's follow-up refresh comes soon: these tests wait for it, not for what it is.
    std::unique_ptr<pelmora::MetricsStore> store = [this] {
        pelmora::MetricsStore::Options options = machine.storeOptions();
        options.quitFollowUpDelay = std::chrono::milliseconds(100);
        return std::make_unique<pelmora::MetricsStore>(std::move(options));
    }();

    PopoverFixture()
    {
        machine.addApp(QStringLiteral("Web Browser Developer Edition With A Very Long Name"),
                       {{QStringLiteral("browser"), 14.0, 2 * GiB},
                        {QStringLiteral("renderer-process-with-a-long-name"), 9.0, 2 * GiB},
                        {QStringLiteral("gpu-helper"), 3.0, GiB + 512 * MiB}});
        machine.addApp(QStringLiteral("Code Editor"),
                       {{QStringLiteral("editor"), 7.0, GiB}, {QStringLiteral("language-server"), 5.0, 400 * MiB}});
        machine.addApp(QStringLiteral("Terminal"), {{QStringLiteral("terminal"), 4.9, 300 * MiB}});
        machine.addApp(QStringLiteral("Music Player"), {{QStringLiteral("music"), 0.5, 180 * MiB}});
        machine.addApp(QStringLiteral("Mail"), {{QStringLiteral("mail"), 0.0, 96 * MiB}});
        machine.addApp(QStringLiteral("Files"), {{QStringLiteral("files"), 0.0, 64 * MiB}});
        machine.setMemory(10 * GiB + 300 * MiB, 16 * GiB);
        machine.advanceMachineCpu(37.0);
        store->refresh();
    }

    pelmora::SettingsLocation settings() const { return {settingsDir.filePath(QStringLiteral("settings.ini"))}; }
};
