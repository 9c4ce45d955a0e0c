// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "FolderTimes.h"

#include <QDirIterator>
#include <QFile>

#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>

void ageFolders(const QString &root)
{
    const std::time_t hourAgo = std::time(nullptr) - 3600;
    const timespec times[2] = {{hourAgo, 0}, {hourAgo, 0}};
    ::utimensat(AT_FDCWD, QFile::encodeName(root).constData(), times, 0);
    QDirIterator it(root, QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext())
        ::utimensat(AT_FDCWD, QFile::encodeName(it.next()).constData(), times, AT_SYMLINK_NOFOLLOW);
}
