// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

namespace pelmora {

// A column of the application list: the sort key, and the figure a row emphasises.
enum class AppMetricKind { app, cpu, memory };

} // namespace pelmora
