// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "RegistryPaths.h"
#include "platform/FileStamp.h"

#include <QHash>
#include <QString>
#include <QStringView>

#include <utility>
#include <vector>

// The installed desktop applications, looked up by desktop id and by the
// name of the program they run. Built once from the applications folders
// (freedesktop Base Directory and Desktop Entry specifications); the owner
// rebuilds it when changedSinceBuild() says a folder changed.
namespace pelmora {

struct IndexedApp {
    QString desktopId; // "org.gnome.Evince.desktop"
    QString name;      // display name in the user's locale
};

class DesktopIndex {
public:
    // Desktop files larger than this are skipped unread.
    static constexpr qsizetype kMaxFileBytes = 1 << 20;

    DesktopIndex() = default; // knows no applications
    explicit DesktopIndex(const RegistryPaths &paths);

    // The application with this desktop id ("foo-bar.desktop"), or null.
    const IndexedApp *findByDesktopId(const QString &desktopId) const;
    // The application that a program of this file name belongs to, or null.
    const IndexedApp *findByProgram(const QString &baseName) const;

    // True when a folder read while building, or a data folder whose
    // applications folder was missing, has changed since. A stat per folder.
    bool changedSinceBuild() const;

    qsizetype size() const { return m_apps.size(); }

    // Interpreters, shells and launchers: many unrelated applications run
    // through them, so their names never identify one.
    static bool isGenericProgram(QStringView baseName);

private:
    QHash<QString, IndexedApp> m_apps;  // by desktop id
    QHash<QString, QString> m_programs; // program file name -> desktop id
    std::vector<std::pair<QString, platform::FileStamp>> m_folders;
    qint64 m_builtAtSeconds = 0;
    bool m_sawRecentChange = false; // a folder changed within the clock's grain of the build
};

} // namespace pelmora
