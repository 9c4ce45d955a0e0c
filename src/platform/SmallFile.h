// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Reading a whole configuration file found in a user-writable folder, where
// anything may sit under a promising name.
namespace pelmora::platform {

// The content of the regular file at `path` (symbolic links followed) when
// it holds at most `maxBytes`. Nothing for a larger or unreadable file and
// for anything that is not a regular file: a FIFO or device is never read,
// so a stray one cannot block the caller.
std::optional<QByteArray> readSmallRegularFile(const QString &path, qsizetype maxBytes);
// The same for a file already open for reading at `fd` (left open).
std::optional<QByteArray> readSmallRegularFile(int fd, qsizetype maxBytes);

} // namespace pelmora::platform
