// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "SafeFile.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <map>
#include <optional>

// The optional diagnostic trail: one line per event, each a flat JSON object
// with sorted, quoted pairs. A failure to write a line is silent; a path that
// is not the user's to write turns the trail off with one line on stderr.
namespace pelmora::RuntimeProbe {

using Fields = std::map<QString, QString>;

// The environment variable wins (an empty value counts as set); otherwise the
// value of the first "--metrics-probe PATH" or "--metrics-probe=PATH" before
// any "--". The option as the last argument gives no path.
std::optional<QString> resolvePath(const std::optional<QByteArray> &environmentValue, const QStringList &arguments);

// The process's probe path, resolved once on first use from
// PELMORA_METRICS_PROBE_PATH and QCoreApplication::arguments().
const std::optional<QString> &path();

// {"k":"v",...} followed by a line feed, pair texts sorted by code point.
QByteArray formatLine(const Fields &fields);

// Shortest plain decimal text that reads back as the same double, always
// with a fraction digit and never an exponent: 0 → "0.0", 37.5 → "37.5",
// 1.8e9 → "1800000000.0".
QString formatNumber(double value);

// What became of a line: written; dropped for now (a missing folder, a FIFO
// nobody reads, a full disk); or refused, because the path is not ours to
// write (`problem` says why), which turns the trail off.
struct Appended {
    enum Outcome { written, dropped, refused } outcome = dropped;
    safefile::Problem problem = safefile::Problem::none;
};

// Appends one line, whole or not at all, to the regular file at `filePath`,
// or writes it to a FIFO there without waiting; creates the file (mode 0600)
// when nothing is there, never replacing what appeared meanwhile. The path
// must be ours: its folders ours or root's (a symbolic link on the way too),
// the file ours, not a link, with one name, and a regular file or a FIFO; what
// stands there is checked through a descriptor that cannot write before it is
// opened for writing, so a device is never opened. A failed write leaves the
// file as it was.
Appended appendLine(const QString &filePath, const QByteArray &line);

// The line printed when the trail at `filePath` is refused.
QString refusalMessage(const QString &filePath, safefile::Problem problem);

// Writes one event to the process's trail; does nothing (not even building the
// line) when probing is off. The first refusal is reported on stderr and ends
// the trail for the life of the process.
void append(const Fields &fields);

} // namespace pelmora::RuntimeProbe
