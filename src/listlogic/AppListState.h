// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "models/AppMetricKind.h"

#include <QString>

#include <optional>

namespace pelmora {

// What the popover's list shows, apart from the sample itself. Lives as long
// as the popover; never persisted.
struct AppListState {
    QString searchText; // as typed, untrimmed
    std::optional<QString> focusedAppID; // the application whose processes are open
    AppMetricKind sortMetric = AppMetricKind::cpu;

    friend bool operator==(const AppListState &, const AppListState &) = default;
};

} // namespace pelmora
