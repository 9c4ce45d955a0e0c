// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ProcessTree.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QThread>

#include <algorithm>
#include <csignal>

namespace pelmora::ProcessTree {
namespace {

// State and parent from /proc/PID/stat (the name in parentheses may hold anything); state 0 if unreadable.
char readStat(qint64 pid, qint64 *ppid = nullptr)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    const QByteArray line = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (!line.contains(')') || fields.size() < 2 || fields.at(0).isEmpty())
        return 0;
    if (ppid)
        *ppid = fields.at(1).toLongLong();
    return fields.at(0).at(0);
}

bool isAlive(qint64 pid)
{
    const char state = readStat(pid);
    return state != 0 && state != 'Z' && state != 'X';
}

} // namespace

QList<qint64> descendants(qint64 pid)
{
    QHash<qint64, QList<qint64>> children;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        qint64 ppid = 0;
        if (const qint64 child = entry.toLongLong(); child > 0 && readStat(child, &ppid))
            children[ppid].append(child);
    }
    QList<qint64> result;
    for (QList<qint64> pending{pid}; !pending.isEmpty();) {
        const QList<qint64> next = children.value(pending.takeFirst());
        result += next;
        pending += next;
    }
    return result;
}

void stop(qint64 pid, int graceMs)
{
    if (pid <= 0)
        return;
    const QList<qint64> all = QList<qint64>{pid} + descendants(pid);
    for (qint64 each : all)
        ::kill(pid_t(each), SIGTERM);
    const QDeadlineTimer deadline(graceMs);
    while (std::any_of(all.begin(), all.end(), isAlive) && !deadline.hasExpired())
        QThread::msleep(20);
    for (qint64 each : all)
        if (isAlive(each))
            ::kill(pid_t(each), SIGKILL);
}

} // namespace pelmora::ProcessTree
