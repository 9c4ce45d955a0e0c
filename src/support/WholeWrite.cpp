// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "WholeWrite.h"

#include <cerrno>
#include <unistd.h>

namespace pelmora {

qsizetype writeWhole(int fd, QByteArrayView data)
{
    qsizetype written = 0;
    while (written < data.size()) {
        const ssize_t n = ::write(fd, data.data() + written, std::size_t(data.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        written += qsizetype(n);
    }
    return written;
}

} // namespace pelmora
