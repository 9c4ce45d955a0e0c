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
// value of the first "--metrics-probe PATH" or "--metrics-probe=PATH" before
// any "--". The option as the last argument gives no path.
std::optional<QString> resolvePath(const std::optional<QByteArray> &environmentValue,
                                   const QStringList &arguments);

// The process's probe path, resolved once on first use from
// PELMORA_METRICS_PROBE_PATH and QCoreApplication::arguments().
const std::optional<QString> &path();

// {"k":"v",...} followed by a line feed, pair texts sorted by code point.
QByteArray formatLine(const Fields &fields);

// Shortest plain decimal text that reads back as the same double, always
// with a fraction digit and never an exponent: 0 → "0.0", 37.5 → "37.5",
// 1.8e9 → "1800000000.0".
QString formatNumber(double value);

// Appends one line, whole or not at all, to the regular file at `filePath`, or
// writes it to a FIFO there without waiting; creates the file (mode 0600,
// atomically) when nothing is there. A symbolic link at the path, a file with
// other names (hard links), a directory or a device is left alone. Never
// replaces an existing file; a failed write leaves it as it was.
void appendLine(const QString &filePath, const QByteArray &line);

// Writes one event to the process's trail; does nothing (not even building the
// line) when probing is off.
void append(const Fields &fields);

} // namespace pelmora::RuntimeProbe
