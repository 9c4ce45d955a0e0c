// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <map>
#include <optional>

// The optional diagnostic trail: one line per event, each a flat JSON object
// with sorted, quoted pairs. Every failure of the file is silent.
namespace pelmora::RuntimeProbe {

using Fields = std::map<QString, QString>;

// The environment variable wins (an empty value counts as set); otherwise the
// argument after the first "--metrics-probe", if there is one.
std::optional<QString> resolvePath(const std::optional<QByteArray> &environmentValue,
                                   const QStringList &arguments);

// The process's probe path, resolved once on first use from
// PELMORA_METRICS_PROBE_PATH and QCoreApplication::arguments().
const std::optional<QString> &path();

// {"k":"v",...} followed by a line feed, pair texts sorted by code point.
QByteArray formatLine(const Fields &fields);

// Shortest text that reads back as the same double, with at least one
// fraction digit in plain form: 0 → "0.0", 37.5 → "37.5".
QString formatNumber(double value);

// Appends one line to the file at `filePath`; creates the file atomically when
// it does not exist. Never truncates or replaces an existing file.
void appendLine(const QString &filePath, const QByteArray &line);

// Writes one event to the process's trail; does nothing (not even building the
// line) when probing is off.
void append(const Fields &fields);

} // namespace pelmora::RuntimeProbe
