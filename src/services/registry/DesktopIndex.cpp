// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "DesktopIndex.h"

#include "DesktopEntry.h"
#include "platform/FolderListing.h"
#include "platform/Heap.h"
#include "platform/SmallFile.h"

#include <QDateTime>
#include <QFile>
#include <QSet>

#include <algorithm>
#include <optional>
#include <unordered_set>

namespace pelmora {
namespace {

// Bounds for trees that are deep or wide; real ones are far smaller. They
// hold per applications folder, so that one folder filled up (the user's own
// comes first) cannot leave the system's folders unread.
constexpr int kMaxDepth = 8;
constexpr qsizetype kMaxFolders = DesktopIndex::kMaxFoldersPerTree;
constexpr qsizetype kMaxDesktopFiles = DesktopIndex::kMaxFilesPerTree;
constexpr std::string_view kDesktopSuffix = ".desktop";
constexpr qint64 kRecentSeconds = 1;

QString fromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

bool isInside(const std::string &path, const std::string &folder)
{
    return path.starts_with(folder) && (path.size() == folder.size() || path[folder.size()] == '/');
}

// Whether a desktop id names the program: "evince.desktop" or
// "org.gnome.Evince.desktop" for "evince".
bool idNamesProgram(std::string_view desktopId, std::string_view program)
{
    const QString stem = fromUtf8(desktopId.substr(0, desktopId.size() - kDesktopSuffix.size()));
    const QStringView last = QStringView(stem).sliced(stem.lastIndexOf(u'.') + 1);
    const QString wanted = fromUtf8(program);
    return stem.compare(wanted, Qt::CaseInsensitive) == 0 || last.compare(wanted, Qt::CaseInsensitive) == 0;
}

} // namespace

// Walks the applications folders and fills an index. Everything it holds
// besides the index is freed when the build ends.
class DesktopIndexBuilder {
public:
    DesktopIndexBuilder(DesktopIndex &index, const RegistryPaths &paths)
        : m_index(index), m_localeNames(paths.localeNames)
    {
        QStringList dataDirs = paths.dataDirs;
        if (!paths.dataHome.isEmpty())
            dataDirs.prepend(paths.dataHome);
        for (const QString &dataDir : dataDirs) {
            const std::string real = platform::resolvedPath(applicationsOf(dataDir));
            if (!real.empty())
                m_roots.push_back(real);
        }
        for (const QString &dataDir : dataDirs)
            addDataDir(dataDir);
        resolvePrograms();
    }

private:
    // One entry that lists a program, in lookup order.
    struct Claim {
        std::string program;
        std::uint32_t record = 0;
        bool noDisplay = false;
    };

    static std::string applicationsOf(const QString &dataDir)
    {
        return QFile::encodeName(dataDir).toStdString() + "/applications";
    }

    void stamp(const std::string &path)
    {
        const QString name = QFile::decodeName(QByteArray(path.data(), qsizetype(path.size())));
        m_index.m_folders.emplace_back(name, platform::fileStamp(name));
    }

    void addDataDir(const QString &dataDir)
    {
        const std::string applications = applicationsOf(dataDir);
        const std::optional<platform::FileNode> node = platform::fileNode(applications);
        if (!node || !node->isFolder) {
            // Watch the parent so that a new applications folder is noticed.
            stamp(QFile::encodeName(dataDir).toStdString());
            stamp(applications);
            return;
        }
        // Per data dir: a link to another data dir's tree still gives ids
        // here, and each tree has budgets of its own.
        m_visited.clear();
        m_folderCount = 0;
        m_fileCount = 0;
        scanFolder(applications, std::string(), 0);
    }

    void scanFolder(const std::string &folder, const std::string &idPrefix, int depth)
    {
        const std::optional<platform::FileNode> node = platform::fileNode(folder);
        if (!node || m_folderCount >= kMaxFolders
            || std::any_of(m_visited.begin(), m_visited.end(), [&](const auto &seen) { return seen.sameNode(*node); }))
            return; // gone, a runaway tree, or a folder reached twice (a link loop)
        ++m_folderCount;
        m_visited.push_back(*node);
        stamp(folder); // before listing: a change during the scan shows next time

        for (const platform::FolderEntry &entry : platform::listFolder(folder)) {
            const std::string path = folder + '/' + entry.name;
            bool isFolder = entry.kind == platform::FolderEntry::Kind::folder;
            if (entry.kind == platform::FolderEntry::Kind::link) {
                // A linked folder is followed only inside the applications
                // folders: a link to "/" must not make every scan walk the disk.
                const std::optional<platform::FileNode> target = platform::fileNode(path);
                isFolder = target && target->isFolder;
                if (isFolder && !followsInside(path))
                    continue;
            }
            if (isFolder) {
                if (depth < kMaxDepth)
                    scanFolder(path, idPrefix + entry.name + '-', depth + 1);
            } else if (std::string_view(entry.name).ends_with(kDesktopSuffix)) {
                addFile(path, idPrefix + entry.name);
            }
        }
    }

    bool followsInside(const std::string &link) const
    {
        const std::string real = platform::resolvedPath(link);
        return !real.empty() && std::any_of(m_roots.begin(), m_roots.end(), [&](const std::string &root) {
            return isInside(real, root);
        });
    }

    void addFile(const std::string &path, const std::string &desktopId)
    {
        // The first file for an id decides, whatever it holds: a Hidden or
        // broken copy in the user's folder hides the system's entry.
        if (m_fileCount >= kMaxDesktopFiles)
            return;
        ++m_fileCount;
        if (!m_seenIds.insert(desktopId).second)
            return;

        const QString file = QFile::decodeName(QByteArray(path.data(), qsizetype(path.size())));
        const std::optional<QByteArray> content = platform::readSmallRegularFile(file, DesktopIndex::kMaxFileBytes);
        if (!content)
            return;
        const std::optional<DesktopEntry> entry = parseDesktopEntry(*content);
        if (!entry || !entry->isApplication() || entry->hidden)
            return;

        QString name = entry->displayName(m_localeNames);
        if (name.isEmpty())
            name = fromUtf8(std::string_view(desktopId).substr(0, desktopId.size() - kDesktopSuffix.size()));
        const QByteArray nameBytes = name.toUtf8();
        if (desktopId.size() > DesktopIndex::kMaxTextBytes
            || std::size_t(nameBytes.size()) > DesktopIndex::kMaxTextBytes)
            return;
        QByteArray wmClass = entry->startupWMClass.toUtf8();
        if (std::size_t(wmClass.size()) > DesktopIndex::kMaxTextBytes)
            wmClass.clear(); // junk: the entry still names its application
        const auto record = std::uint32_t(m_index.m_records.size());
        m_index.m_records.push_back({std::uint32_t(m_index.m_text.size()), std::uint16_t(desktopId.size()),
                                     std::uint16_t(nameBytes.size()), std::uint16_t(wmClass.size())});
        m_index.m_text += desktopId;
        m_index.m_text.append(nameBytes.constData(), std::size_t(nameBytes.size()));
        m_index.m_text.append(wmClass.constData(), std::size_t(wmClass.size()));

        const QString exec = baseNameOf(execProgram(entry->exec));
        QString tryExec = baseNameOf(entry->tryExec.trimmed());
        if (tryExec == exec)
            tryExec.clear();
        for (const QString &program : {exec, tryExec}) {
            if (program.isEmpty() || DesktopIndex::isGenericProgram(program))
                continue;
            std::string bytes = QFile::encodeName(program).toStdString();
            if (bytes.size() <= DesktopIndex::kMaxTextBytes)
                m_claims.push_back({std::move(bytes), record, entry->noDisplay});
        }
    }

    static QString baseNameOf(const QString &path) { return path.sliced(path.lastIndexOf(u'/') + 1); }

    // Several entries may run the same program (a browser and its web apps,
    // an office suite's parts, an editor's "new window" entry). The program
    // then identifies an application only when the choice is clear:
    //   1. prefer entries whose desktop id names the program
    //      ("org.gnome.Evince" for evince), then entries shown in menus;
    //   2. if the remaining entries all have one display name, that is the
    //      application;
    //   3. otherwise the program names no application: guessing would file
    //      the processes under, and quit them as, the wrong one.
    std::optional<std::uint32_t> resolvedRecord(std::vector<Claim> claims) const
    {
        const auto narrow = [&claims](auto keep) {
            std::vector<Claim> kept;
            std::copy_if(claims.begin(), claims.end(), std::back_inserter(kept), keep);
            if (!kept.empty())
                claims = std::move(kept);
        };
        const std::string_view program = claims.front().program;
        narrow([&](const Claim &c) { return idNamesProgram(m_index.idOf(c.record), program); });
        narrow([](const Claim &c) { return !c.noDisplay; });
        const std::string_view name = m_index.nameOf(claims.front().record);
        for (const Claim &claim : claims) {
            if (m_index.nameOf(claim.record) != name)
                return std::nullopt;
        }
        return claims.front().record;
    }

    void resolvePrograms()
    {
        std::stable_sort(m_claims.begin(), m_claims.end(),
                         [](const Claim &a, const Claim &b) { return a.program < b.program; });
        for (auto group = m_claims.begin(); group != m_claims.end();) {
            const auto end = std::find_if(group, m_claims.end(),
                                          [&](const Claim &c) { return c.program != group->program; });
            const std::optional<std::uint32_t> record = end - group == 1
                ? std::optional(group->record)
                : resolvedRecord(std::vector<Claim>(group, end));
            if (record) {
                m_index.m_programs.push_back(
                    {std::uint32_t(m_index.m_text.size()), std::uint16_t(group->program.size()), *record});
                m_index.m_text += group->program;
            }
            group = end;
        }

        DesktopIndex &index = m_index;
        index.m_byId.resize(index.m_records.size());
        for (std::uint32_t i = 0; i < index.m_byId.size(); ++i)
            index.m_byId[i] = i;
        std::sort(index.m_byId.begin(), index.m_byId.end(),
                  [&index](std::uint32_t a, std::uint32_t b) { return index.idOf(a) < index.idOf(b); });
        index.m_text.shrink_to_fit();
        index.m_records.shrink_to_fit();
        index.m_programs.shrink_to_fit();
    }

    DesktopIndex &m_index;
    const QStringList &m_localeNames;
    std::vector<std::string> m_roots; // real paths of the search path's applications folders
    std::vector<platform::FileNode> m_visited;
    std::unordered_set<std::string> m_seenIds;
    std::vector<Claim> m_claims;
    qsizetype m_folderCount = 0; // in the current data dir's tree
    qsizetype m_fileCount = 0;
};

DesktopIndex::DesktopIndex(const RegistryPaths &paths) : m_builtAtSeconds(QDateTime::currentSecsSinceEpoch())
{
    {
        DesktopIndexBuilder builder(*this, paths);
    }
    // A large tree leaves megabytes of freed file texts and lists behind.
    platform::returnFreeHeapPages();
    // The kernel stamps folders with a coarse clock: a second change in the
    // same tick as one made just before the build leaves the stamp as it
    // was. A folder modified around the build is therefore looked at again
    // once that moment has safely passed (a future time far off is not).
    for (const auto &[path, stamp] : m_folders) {
        if (stamp.exists && stamp.modifiedSeconds >= m_builtAtSeconds - kRecentSeconds
            && stamp.modifiedSeconds <= m_builtAtSeconds + kRecentSeconds)
            m_sawRecentChange = true;
    }
}

std::string_view DesktopIndex::idOf(std::uint32_t record) const
{
    const Record &r = m_records[record];
    return std::string_view(m_text).substr(r.offset, r.idSize);
}

std::string_view DesktopIndex::nameOf(std::uint32_t record) const
{
    const Record &r = m_records[record];
    return std::string_view(m_text).substr(r.offset + r.idSize, r.nameSize);
}

std::string_view DesktopIndex::wmClassOf(std::uint32_t record) const
{
    const Record &r = m_records[record];
    return std::string_view(m_text).substr(r.offset + r.idSize + r.nameSize, r.wmClassSize);
}

std::string_view DesktopIndex::programName(const Program &program) const
{
    return std::string_view(m_text).substr(program.offset, program.size);
}

const IndexedApp *DesktopIndex::shown(std::uint32_t record) const
{
    auto [it, isNew] = m_shown.try_emplace(record);
    if (isNew)
        it->second = IndexedApp{fromUtf8(idOf(record)), fromUtf8(nameOf(record)), fromUtf8(wmClassOf(record))};
    return &it->second;
}

const IndexedApp *DesktopIndex::findByDesktopId(const QString &desktopId) const
{
    const QByteArray key = QFile::encodeName(desktopId);
    const std::string_view wanted(key.constData(), std::size_t(key.size()));
    const auto found = std::lower_bound(
        m_byId.begin(), m_byId.end(), wanted,
        [this](std::uint32_t record, std::string_view id) { return idOf(record) < id; });
    return found != m_byId.end() && idOf(*found) == wanted ? shown(*found) : nullptr;
}

const IndexedApp *DesktopIndex::findByProgram(const QString &baseName) const
{
    const QByteArray key = QFile::encodeName(baseName);
    const std::string_view wanted(key.constData(), std::size_t(key.size()));
    const auto found = std::lower_bound(
        m_programs.begin(), m_programs.end(), wanted,
        [this](const Program &p, std::string_view name) { return programName(p) < name; });
    return found != m_programs.end() && programName(*found) == wanted ? shown(found->record) : nullptr;
}

std::size_t DesktopIndex::recordBytes() const
{
    return m_text.capacity() + m_records.capacity() * sizeof(Record) + m_byId.capacity() * sizeof(std::uint32_t)
        + m_programs.capacity() * sizeof(Program);
}

bool DesktopIndex::changedSinceBuild() const
{
    for (const auto &[path, stamp] : m_folders) {
        if (platform::fileStamp(path) != stamp)
            return true;
    }
    return m_sawRecentChange && QDateTime::currentSecsSinceEpoch() > m_builtAtSeconds + kRecentSeconds;
}

bool DesktopIndex::isGenericProgram(QStringView baseName)
{
    // Names compared without a version suffix: python3.11, perl5.36.0, lua5.4, wine64.
    static const QSet<QString> generic = {
        // shells
        QStringLiteral("sh"),
        QStringLiteral("bash"),
        QStringLiteral("dash"),
        QStringLiteral("zsh"),
        QStringLiteral("ksh"),
        QStringLiteral("mksh"),
        QStringLiteral("csh"),
        QStringLiteral("tcsh"),
        QStringLiteral("fish"),
        QStringLiteral("busybox"),
        // interpreters and runtimes
        QStringLiteral("python"),
        QStringLiteral("pypy"),
        QStringLiteral("perl"),
        QStringLiteral("ruby"),
        QStringLiteral("node"),
        QStringLiteral("nodejs"),
        QStringLiteral("java"),
        QStringLiteral("mono"),
        QStringLiteral("mono-sgen"),
        QStringLiteral("dotnet"),
        QStringLiteral("lua"),
        QStringLiteral("luajit"),
        QStringLiteral("php"),
        QStringLiteral("tclsh"),
        QStringLiteral("wish"),
        QStringLiteral("gjs"),
        QStringLiteral("gjs-console"),
        QStringLiteral("guile"),
        QStringLiteral("electron"),
        QStringLiteral("wine"),
        // launchers and wrappers
        QStringLiteral("env"),
        QStringLiteral("flatpak"),
        QStringLiteral("flatpak-spawn"),
        QStringLiteral("snap"),
        QStringLiteral("xdg-open"),
        QStringLiteral("gio"),
        QStringLiteral("gtk-launch"),
        QStringLiteral("kioclient"),
        QStringLiteral("kde-open"),
        QStringLiteral("sudo"),
        QStringLiteral("pkexec"),
        QStringLiteral("kdesu"),
        QStringLiteral("gksu"),
        QStringLiteral("gksudo"),
        QStringLiteral("nohup"),
        QStringLiteral("setsid"),
        QStringLiteral("nice"),
        QStringLiteral("ionice"),
        QStringLiteral("taskset"),
        QStringLiteral("chrt"),
        QStringLiteral("stdbuf"),
        QStringLiteral("timeout"),
        QStringLiteral("bwrap"),
        QStringLiteral("firejail"),
        QStringLiteral("torsocks"),
        QStringLiteral("proxychains"),
        QStringLiteral("prime-run"),
        QStringLiteral("optirun"),
        QStringLiteral("primusrun"),
        QStringLiteral("gamemoderun"),
        QStringLiteral("mangohud"),
        QStringLiteral("dbus-launch"),
        QStringLiteral("dbus-run-session"),
        QStringLiteral("systemd-run"),
    };
    qsizetype end = baseName.size();
    while (end > 0 && (baseName[end - 1].isDigit() || baseName[end - 1] == u'.'))
        --end;
    return generic.contains(baseName.toString()) || (end > 0 && generic.contains(baseName.first(end).toString()));
}

} // namespace pelmora
