// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "models/ProcessMetric.h"

#include <QList>
#include <QStringView>

#include <functional>
#include <optional>
#include <string_view>

// Parsing the output of `ps -axo pid=,pcpu=,rss=,comm=`: four columns, no
// heading, the last one running to the end of the line.
namespace pelmora {

// The application name of a process given its pid and command, or nothing.
using PsAppNameLookup = std::function<std::optional<QString>(qint32 pid, QStringView commandPath)>;

// One line without its line break. Nothing for a malformed line, for a process
// with neither CPU use nor resident memory, or one that no application claims.
// The numeric checks and the usage filter run before the (costly) lookup.
std::optional<ProcessMetric> parseProcessLine(QStringView line, const PsAppNameLookup &appNameFor);

// The whole output: nothing when the tool failed (non-zero exit) or wrote
// anything that is not UTF-8; otherwise every usable line in output order.
QList<ProcessMetric> parsePsOutput(std::string_view output, int exitStatus, const PsAppNameLookup &appNameFor);

} // namespace pelmora
