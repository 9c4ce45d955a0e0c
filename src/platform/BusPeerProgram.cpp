// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "BusPeerProgram.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>

#include <string>

namespace pelmora::platform {

QString busPeerProgram(const QDBusConnection &bus, const QString &uniqueName, const ProcRoot &proc, int timeoutMs)
{
    if (!bus.isConnected() || uniqueName.isEmpty())
        return {};
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetConnectionUnixProcessID"));
    call << uniqueName;
    const QDBusMessage reply = QDBusConnection(bus).call(call, QDBus::Block, timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    const uint pid = reply.arguments().constFirst().toUInt();
    std::string comm;
    if (pid == 0 || !proc.readFile(std::to_string(pid) + "/comm", comm, 64))
        return {};
    while (!comm.empty() && (comm.back() == '\n' || comm.back() == '\0'))
        comm.pop_back();
    return QString::fromUtf8(comm.data(), qsizetype(comm.size()));
}

} // namespace pelmora::platform
