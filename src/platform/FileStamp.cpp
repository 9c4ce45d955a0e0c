// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "FileStamp.h"

#include <QFile>

#include <sys/stat.h>

namespace pelmora::platform {

FileStamp fileStamp(const QString &path)
{
    FileStamp stamp;
    struct stat info { };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return stamp;
    stamp.exists = true;
    stamp.device = quint64(info.st_dev);
    stamp.inode = quint64(info.st_ino);
    stamp.modifiedSeconds = qint64(info.st_mtim.tv_sec);
    stamp.modifiedNanoseconds = qint64(info.st_mtim.tv_nsec);
    stamp.changedSeconds = qint64(info.st_ctim.tv_sec);
    stamp.changedNanoseconds = qint64(info.st_ctim.tv_nsec);
    return stamp;
}

} // namespace pelmora::platform
