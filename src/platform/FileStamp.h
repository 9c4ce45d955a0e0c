// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <QtGlobal>

// What a stat() of a path says about whether it changed: a folder's
// modification and change times move whenever an entry is added, removed
// or renamed in it. Symbolic links are followed.
namespace pelmora::platform {

struct FileStamp {
    bool exists = false;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 modifiedSeconds = 0;
    qint64 modifiedNanoseconds = 0;
    qint64 changedSeconds = 0;
    qint64 changedNanoseconds = 0;

    friend bool operator==(const FileStamp &, const FileStamp &) = default;
};

FileStamp fileStamp(const QString &path);

} // namespace pelmora::platform
