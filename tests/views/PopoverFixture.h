// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "testsupport/FixtureMachine.h"

#include "stores/MetricsStore.h"
#include "support/PopoverHeightSetting.h"

#include <QTemporaryDir>

#include <memory>

// A store whose second sample has long names, multi-process applications and
// every emphasis colour in the CPU-sorted list.
struct PopoverFixture {
    static constexpr quint64 MiB = quint64(1) << 20, GiB = MiB << 10;

    FixtureMachine machine;
    QTemporaryDir settingsDir;
    std::unique_ptr<pelmora::MetricsStore> store = std::make_unique<pelmora::MetricsStore>(machine.storeOptions());

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

    pelmora::SettingsLocation settings(const QString &name = QStringLiteral("settings.ini")) const
    {
        return {settingsDir.filePath(name)};
    }
};
