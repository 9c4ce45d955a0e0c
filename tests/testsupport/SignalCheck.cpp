// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SignalCheck.h"

#include <QFile>

#include <csignal>

namespace pelmora {

bool wasSignalledToEnd(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return true;
    quint64 pending = 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("State:") && (line.contains('Z') || line.contains('X')))
            return true;
        // A fatal signal shows as SIGKILL pending on every thread once it is sent.
        if (line.startsWith("SigPnd:") || line.startsWith("ShdPnd:"))
            pending |= line.mid(7).trimmed().toULongLong(nullptr, 16);
    }
    return pending & ((quint64(1) << (SIGTERM - 1)) | (quint64(1) << (SIGKILL - 1)));
}

} // namespace pelmora
