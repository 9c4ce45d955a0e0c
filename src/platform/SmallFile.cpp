// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SmallFile.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pelmora::platform {

std::optional<QByteArray> readSmallRegularFile(const QString &path, qsizetype maxBytes)
{
    // O_NONBLOCK: opening a FIFO must not wait for a writer.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    std::optional<QByteArray> result = readSmallRegularFile(fd, maxBytes);
    ::close(fd);
    return result;
}

std::optional<QByteArray> readSmallRegularFile(int fd, qsizetype maxBytes)
{
    struct stat info { };
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > maxBytes)
        return std::nullopt;
    // Read one byte past the limit: the file may have grown since fstat.
    QByteArray content(qsizetype(info.st_size) + 1, Qt::Uninitialized);
    qsizetype used = 0;
    while (used < content.size()) {
        const ssize_t n = ::read(fd, content.data() + used, std::size_t(content.size() - used));
        if (n > 0) {
            used += qsizetype(n);
            if (used == content.size() && used <= maxBytes)
                content.resize(std::min<qsizetype>(maxBytes + 1, content.size() * 2));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0) {
            return std::nullopt;
        } else {
            break;
        }
    }
    if (used > maxBytes)
        return std::nullopt;
    content.truncate(used);
    return content;
}

} // namespace pelmora::platform
