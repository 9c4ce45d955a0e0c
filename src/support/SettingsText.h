// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

// Keys of the [General] group of a settings file in Qt's INI format, read and
// changed in the text itself, so that everything else in the file (other keys
// and groups, comments, blank lines, line ends) stays as it was. Keys before
// any group belong to [General], as QSettings reads them.
namespace pelmora::SettingsText {

// The value of the last `key` in [General], trimmed, as written (quotes kept).
std::optional<QByteArrayView> generalValue(QByteArrayView text, QByteArrayView key);

// Whether the text reads as an INI file: no NUL byte, every group line closed
// with ']', and every other line a key with '=', a comment, blank, or the
// continuation of a value ending in '\' (the last line does not end so).
bool isReadable(QByteArrayView text);

// `text` with the value of `key` in [General] set to `value`: the line that
// holds it changed in place, or a line added after the group's last line (a
// [General] group put first when there is none). Nothing when the text is
// not readable.
std::optional<QByteArray> withGeneralValue(QByteArrayView text, QByteArrayView key, QByteArrayView value);

} // namespace pelmora::SettingsText
