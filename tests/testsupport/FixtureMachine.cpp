// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "FixtureMachine.h"

#include "platform/SystemInfo.h"

#include <cmath>

using namespace pelmora;

namespace {

constexpr double uptimeSeconds = 1000.0;

QByteArray statLine(qint32 pid, const QString &comm, qint32 ppid, quint64 cpuTicks, quint64 rssPages)
{
    // Fields 1..24 as proc(5) lists them, then the rest of a real line.
    return QByteArray::number(pid) + " (" + comm.left(15).toUtf8() + ") S " + QByteArray::number(ppid) + " "
        + QByteArray::number(pid) + " " + QByteArray::number(pid) + " 0 -1 4194304 100 0 0 0 "
        + QByteArray::number(cpuTicks) + " 0 0 0 20 0 1 0 0 123456789 " + QByteArray::number(rssPages)
        + " 18446744073709551615 1 1 0 0 0 0 0 0 0 0 0 0 17 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n";
}

} // namespace

FixtureMachine::FixtureMachine()
{
    m_tree.write(QStringLiteral("proc/uptime"), QByteArray::number(uptimeSeconds, 'f', 2) + " 1800.00\n");
    m_tree.makeDir(QStringLiteral("data-home/applications"));
    m_tree.makeDir(QStringLiteral("data-dir"));
    advanceMachineCpu(0.0);
    setMemory(quint64(4) << 30, quint64(16) << 30);
}

RegistryPaths FixtureMachine::registryPaths() const
{
    RegistryPaths paths;
    paths.dataHome = m_tree.filePath(QStringLiteral("data-home"));
    paths.dataDirs = {m_tree.filePath(QStringLiteral("data-dir"))};
    return paths;
}

void FixtureMachine::writeProcess(qint32 pid, const Process &process, const QString &cgroup)
{
    const double hz = double(platform::clockTicksPerSecond());
    const auto ticks = quint64(std::llround(process.cpuPercent / 100.0 * uptimeSeconds * hz));
    const quint64 pages = process.memoryBytes / platform::pageSizeBytes();
    const QString dir = QStringLiteral("proc/%1/").arg(pid);
    const QString exe = m_tree.filePath(QStringLiteral("bin/") + process.name);
    m_tree.write(dir + QStringLiteral("stat"), statLine(pid, process.name, process.ppid, ticks, pages));
    m_tree.write(dir + QStringLiteral("cmdline"), exe.toUtf8() + '\0');
    m_tree.write(dir + QStringLiteral("cgroup"), "0::" + cgroup.toUtf8() + "\n");
    m_tree.symlink(dir + QStringLiteral("exe"), exe);
}

QList<qint32> FixtureMachine::addApp(const QString &name, const QList<Process> &processes)
{
    const QString id = QStringLiteral("org.pelmora.Fixture%1").arg(++m_appCount);
    m_tree.write(QStringLiteral("data-home/applications/%1.desktop").arg(id),
                 desktopEntry(name.toUtf8(), "fixture-app-" + QByteArray::number(m_appCount)));
    const QString scope =
        QStringLiteral("/user.slice/user-1000.slice/user@1000.service/app.slice/app-%1-%2.scope").arg(id).arg(4242);
    QList<qint32> pids;
    for (const Process &p : processes) {
        const qint32 pid = m_nextPid++;
        writeProcess(pid, p, scope);
        pids << pid;
    }
    return pids;
}

qint32 FixtureMachine::addStrayProcess(const Process &process)
{
    const qint32 pid = m_nextPid++;
    writeProcess(pid, process, QStringLiteral("/system.slice/cron.service"));
    return pid;
}

void FixtureMachine::removeProcess(qint32 pid)
{
    m_tree.remove(QStringLiteral("proc/%1").arg(pid));
}

void FixtureMachine::advanceMachineCpu(double busyPercent)
{
    m_busyTicks += quint64(std::llround(busyPercent * 10));
    m_idleTicks += quint64(std::llround((100.0 - busyPercent) * 10));
    // One processor; user carries all busy time.
    m_tree.write(QStringLiteral("proc/stat"),
                 "cpu  " + QByteArray::number(m_busyTicks) + " 0 0 " + QByteArray::number(m_idleTicks)
                     + " 0 0 0 0 0 0\ncpu0 " + QByteArray::number(m_busyTicks) + " 0 0 "
                     + QByteArray::number(m_idleTicks) + " 0 0 0 0 0 0\nintr 0\nctxt 0\n");
}

void FixtureMachine::setMemory(quint64 usedBytes, quint64 totalBytes)
{
    m_tree.write(QStringLiteral("proc/meminfo"),
                 "MemTotal:       " + QByteArray::number(totalBytes / 1024)
                     + " kB\nMemFree:        0 kB\n"
                       "MemAvailable:   "
                     + QByteArray::number((totalBytes - usedBytes) / 1024) + " kB\n");
}

MetricsStore::Options FixtureMachine::storeOptions(MetricsStore::Clock clock, std::chrono::milliseconds interval) const
{
    ProcessMetricsProvider::Options processOptions;
    processOptions.source = ProcessMetricsProvider::Source::procfs;
    processOptions.procRoot = procRoot().toStdString();
    processOptions.registryPaths = registryPaths();
    MetricsStore::Options options{
        SystemMetricsProvider(procRoot().toStdString()), ProcessMetricsProvider(std::move(processOptions)),
        clock ? std::move(clock) : MetricsStore::Clock([] { return pelmora::WallClock::now(); }), interval};
    return options;
}
