// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "RegistryPaths.h"
#include "platform/FileStamp.h"

#include <QHash>
#include <QString>
#include <QStringView>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

// The installed desktop applications, looked up by desktop id and by the
// name of the program they run. Built once from the applications folders
// (freedesktop Base Directory and Desktop Entry specifications); the owner
// rebuilds it when changedSinceBuild() says a folder changed.
//
// Anyone may fill an applications folder, so the costs stay bounded: a
// symbolic link to a folder is followed only where it stays inside the
// applications folders of the search path, the walk of each applications
// folder has depth, folder and file budgets of its own (so one full folder
// cannot hide the others), and what is kept is one compact record per
// application entry (its id, name and window class as UTF-8 in one block), plus one per
// program that names an application. Nothing else of a file outlives the build.
namespace pelmora {

struct IndexedApp {
    QString desktopId; // "org.gnome.Evince.desktop"
    QString name; // display name in the user's locale
    QString startupWMClass; // its StartupWMClass; empty when it has none
};

class DesktopIndex {
public:
    // Desktop files larger than this are skipped unread.
    static constexpr qsizetype kMaxFileBytes = 1 << 20;
    // An id, name or program longer than this (in UTF-8 bytes) is junk: the
    // entry, or that program of it, is left out.
    static constexpr std::size_t kMaxTextBytes = 4096;
    // Each applications folder's tree: desktop files and subfolders looked
    // at, in name order; the rest of that tree is left out.
    static constexpr qsizetype kMaxFilesPerTree = 10000;
    static constexpr qsizetype kMaxFoldersPerTree = 1024;

    DesktopIndex() = default; // knows no applications
    explicit DesktopIndex(const RegistryPaths &paths);

    // The application with this desktop id ("foo-bar.desktop"), or null.
    // The pointer stays valid as long as the index.
    const IndexedApp *findByDesktopId(const QString &desktopId) const;
    // The application that a program of this file name belongs to, or null.
    const IndexedApp *findByProgram(const QString &baseName) const;

    // True when a folder read while building, or a data folder whose
    // applications folder was missing, has changed since. A stat per folder.
    bool changedSinceBuild() const;

    qsizetype size() const { return qsizetype(m_records.size()); }
    // What the records take on the heap, for benchmarks.
    std::size_t recordBytes() const;

    // Interpreters, shells and launchers: many unrelated applications run
    // through them, so their names never identify one.
    static bool isGenericProgram(QStringView baseName);

private:
    friend class DesktopIndexBuilder;

    struct Record { // id, name, then StartupWMClass, in m_text
        std::uint32_t offset = 0;
        std::uint16_t idSize = 0;
        std::uint16_t nameSize = 0;
        std::uint16_t wmClassSize = 0;
    };
    struct Program { // its file name in m_text, and the application it names
        std::uint32_t offset = 0;
        std::uint16_t size = 0;
        std::uint32_t record = 0;
    };

    std::string_view idOf(std::uint32_t record) const;
    std::string_view nameOf(std::uint32_t record) const;
    std::string_view wmClassOf(std::uint32_t record) const;
    std::string_view programName(const Program &program) const;
    const IndexedApp *shown(std::uint32_t record) const;

    std::string m_text;
    std::vector<Record> m_records; // in the order the files were read
    std::vector<std::uint32_t> m_byId; // m_records indices, sorted by id
    std::vector<Program> m_programs; // sorted by program name
    // Lookups hand out IndexedApp pointers; only asked-for records get one.
    mutable std::unordered_map<std::uint32_t, IndexedApp> m_shown;
    std::vector<std::pair<QString, platform::FileStamp>> m_folders;
    qint64 m_builtAtSeconds = 0;
    bool m_sawRecentChange = false; // a folder changed within the clock's grain of the build
};

} // namespace pelmora
