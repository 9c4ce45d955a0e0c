#include "ProcessTree.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QThread>

#include <algorithm>
#include <csignal>

namespace pelmora::ProcessTree {
namespace {

// Field 4 (ppid) and 3 (state) of /proc/PID/stat; the name in parentheses may hold anything.
bool readStat(qint64 pid, qint64 *ppid, char *state)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = file.readAll();
    const qsizetype close = line.lastIndexOf(')');
    if (close < 0)
        return false;
    const QList<QByteArray> fields = line.mid(close + 2).split(' ');
    if (fields.size() < 2 || fields.at(0).isEmpty())
        return false;
    *state = fields.at(0).at(0);
    *ppid = fields.at(1).toLongLong();
    return true;
}

bool isAlive(qint64 pid)
{
    qint64 ppid = 0;
    char state = 0;
    return readStat(pid, &ppid, &state) && state != 'Z' && state != 'X';
}

} // namespace

QList<qint64> descendants(qint64 pid)
{
    QHash<qint64, QList<qint64>> children;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool numeric = false;
        const qint64 child = entry.toLongLong(&numeric);
        qint64 ppid = 0;
        char state = 0;
        if (numeric && readStat(child, &ppid, &state))
            children[ppid].append(child);
    }
    QList<qint64> result;
    QList<qint64> pending{pid};
    while (!pending.isEmpty()) {
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
    QList<qint64> all = descendants(pid);
    all.prepend(pid);
    for (qint64 each : all)
        ::kill(pid_t(each), SIGTERM);
    QElapsedTimer timer;
    timer.start();
    auto anyAlive = [&all] { return std::any_of(all.begin(), all.end(), isAlive); };
    while (anyAlive() && timer.elapsed() < graceMs)
        QThread::msleep(20);
    for (qint64 each : all)
        if (isAlive(each))
            ::kill(pid_t(each), SIGKILL);
}

} // namespace pelmora::ProcessTree
