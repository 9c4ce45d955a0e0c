// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "DesktopIndex.h"
#include "RegistryPaths.h"
#include "services/ProcessFacts.h"

#include <QString>

#include <optional>

// Which desktop application owns a running process. Asked in this order:
//   1. the systemd unit the desktop launched the application in, read from
//      the process's control group, when it names an installed desktop file;
//   2. an installed desktop file whose Exec program or TryExec has the file
//      name of the process's executable or argv[0];
//   3. otherwise no application.
namespace pelmora {

class AppRegistry {
public:
    explicit AppRegistry(RegistryPaths paths = RegistryPaths::fromEnvironment());

    // The display name of the application that owns the process, or nothing.
    std::optional<QString> applicationName(const ProcessFacts &facts) const;

    // The same judgement from what the process cannot choose for itself: its
    // control group and its real executable, never its argv[0]. For acting
    // on a process, where a name it gives itself must not count.
    std::optional<QString> strictApplicationName(const ProcessFacts &facts) const;
    // The desktop entry behind that judgement; null when there is none.
    const IndexedApp *strictApplication(const ProcessFacts &facts) const;

    // Re-indexes the desktop files when an applications folder changed.
    void refreshIfChanged();

    // Bumped by every re-index: answers cached before it may be stale.
    quint64 generation() const { return m_generation; }

    const DesktopIndex &index() const { return m_index; }

private:
    const IndexedApp *lookUp(const ProcessFacts &facts, bool trustArgv0) const;

    RegistryPaths m_paths;
    DesktopIndex m_index;
    quint64 m_generation = 0;
};

} // namespace pelmora
