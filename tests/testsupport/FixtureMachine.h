// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "FixtureTree.h"

#include "services/registry/RegistryPaths.h"
#include "stores/MetricsStore.h"

#include <QList>
#include <QString>

#include <chrono>

// A fake machine on disk: a /proc tree and an XDG data folder that the real
// readers turn into the sample a test asks for. Each application has a desktop
// entry and its own systemd app scope. Processes start at boot, 1000 s ago, so
// a first CPU figure is the given lifetime average; memory is rounded to pages.
class FixtureMachine {
public:
    struct Process {
        QString name; // its own name (comm is cut to 15 characters, the executable keeps it whole)
        double cpuPercent = 0.0;
        quint64 memoryBytes = 0;
        qint32 ppid = 1;
    };

    FixtureMachine();

    bool isValid() const { return m_tree.isValid(); }
    QString procRoot() const { return m_tree.filePath(QStringLiteral("proc")); }
    pelmora::RegistryPaths registryPaths() const;

    // Adds an application named `name` with these processes; returns their pids.
    QList<qint32> addApp(const QString &name, const QList<Process> &processes);
    // A process that belongs to no application (not listed by the readers).
    qint32 addStrayProcess(const Process &process);
    void removeProcess(qint32 pid);

    // The machine's busy share since the previous call (a provider's first reading is 0).
    void advanceMachineCpu(double busyPercent);
    void setMemory(quint64 usedBytes, quint64 totalBytes);

    pelmora::MetricsStore::Options
    storeOptions(pelmora::MetricsStore::Clock clock = {},
                 std::chrono::milliseconds interval = pelmora::MetricsStore::defaultRefreshInterval) const;

private:
    void writeProcess(qint32 pid, const Process &process, const QString &cgroup);

    FixtureTree m_tree;
    // Above PID_MAX_LIMIT (4194304): a quit aimed at a fixture pid never reaches a real process.
    qint32 m_nextPid = 4195000;
    int m_appCount = 0;
    quint64 m_busyTicks = 0;
    quint64 m_idleTicks = 0;
};
