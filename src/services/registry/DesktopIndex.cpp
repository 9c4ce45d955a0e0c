// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "DesktopIndex.h"

#include "DesktopEntry.h"
#include "platform/SmallFile.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <optional>

namespace pelmora {
namespace {

// Bounds for trees that links make deep or wide (a link to "/" included);
// real ones are far smaller.
constexpr int kMaxDepth = 8;
constexpr qsizetype kMaxFolders = 1024;
constexpr qsizetype kMaxDesktopFiles = 50000;
const QLatin1String kDesktopSuffix(".desktop");
constexpr qint64 kRecentSeconds = 1;

QString baseName(const QString &path)
{
    return path.sliced(path.lastIndexOf(u'/') + 1);
}

// One entry that lists a program, in lookup order.
struct ProgramClaim {
    QString desktopId;
    QString name;
    bool noDisplay = false;
};

// Whether a desktop id names the program: "evince.desktop" or
// "org.gnome.Evince.desktop" for "evince".
bool idNamesProgram(const QString &desktopId, const QString &program)
{
    const QStringView stem = QStringView(desktopId).chopped(kDesktopSuffix.size());
    const QStringView last = stem.sliced(stem.lastIndexOf(u'.') + 1);
    return stem.compare(program, Qt::CaseInsensitive) == 0 || last.compare(program, Qt::CaseInsensitive) == 0;
}

template <typename Predicate>
QList<ProgramClaim> narrowed(const QList<ProgramClaim> &claims, Predicate keep)
{
    QList<ProgramClaim> kept;
    for (const ProgramClaim &claim : claims) {
        if (keep(claim))
            kept.append(claim);
    }
    return kept.isEmpty() ? claims : kept;
}

// Several entries may run the same program (a browser and its web apps, an
// office suite's parts, an editor's "new window" entry). The program then
// identifies an application only when the choice is clear:
//   1. prefer entries whose desktop id names the program ("org.gnome.Evince"
//      for evince), then entries shown in menus (not NoDisplay);
//   2. if the remaining entries all have one display name, that is the
//      application;
//   3. otherwise the program names no application: guessing would file the
//      processes under, and quit them as, the wrong one.
std::optional<QString> resolvedDesktopId(const QList<ProgramClaim> &claims, const QString &program)
{
    QList<ProgramClaim> candidates =
        narrowed(claims, [&](const ProgramClaim &c) { return idNamesProgram(c.desktopId, program); });
    candidates = narrowed(candidates, [](const ProgramClaim &c) { return !c.noDisplay; });
    for (const ProgramClaim &candidate : candidates) {
        if (candidate.name != candidates.front().name)
            return std::nullopt;
    }
    return candidates.front().desktopId;
}

class Builder {
public:
    explicit Builder(const QStringList &localeNames) : m_localeNames(localeNames) {}

    QHash<QString, IndexedApp> apps;
    QHash<QString, QList<ProgramClaim>> claims;
    std::vector<std::pair<QString, platform::FileStamp>> folders;

    void addDataDir(const QString &dataDir)
    {
        const QString applications = dataDir + QLatin1String("/applications");
        if (!QFileInfo(applications).isDir()) {
            // Watch the parent so that a new applications folder is noticed.
            stamp(dataDir);
            stamp(applications);
            return;
        }
        QSet<QString> visited; // per data dir: a link to another data dir's tree still gives ids here
        scanFolder(applications, QString(), 0, visited);
    }

private:
    void stamp(const QString &path) { folders.emplace_back(path, platform::fileStamp(path)); }

    void scanFolder(const QString &folder, const QString &idPrefix, int depth, QSet<QString> &visited)
    {
        const QString canonical = QFileInfo(folder).canonicalFilePath();
        if (canonical.isEmpty() || visited.contains(canonical) || m_folderCount >= kMaxFolders)
            return; // a symlink loop, a folder reached twice, or a runaway tree
        ++m_folderCount;
        visited.insert(canonical);
        stamp(folder); // before listing: a change during the scan shows next time

        const QFileInfoList entries =
            QDir(folder).entryInfoList(QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
        for (const QFileInfo &info : entries) {
            if (info.isDir()) {
                if (depth < kMaxDepth)
                    scanFolder(info.filePath(), idPrefix + info.fileName() + u'-', depth + 1, visited);
            } else if (info.fileName().endsWith(kDesktopSuffix)) {
                addFile(info.filePath(), idPrefix + info.fileName());
            }
        }
    }

    void addFile(const QString &path, const QString &desktopId)
    {
        // The first file for an id decides, whatever it holds: a Hidden or
        // broken copy in the user's folder hides the system's entry.
        if (m_seenIds.contains(desktopId) || m_seenIds.size() >= kMaxDesktopFiles)
            return;
        m_seenIds.insert(desktopId);

        const std::optional<QByteArray> content = platform::readSmallRegularFile(path, DesktopIndex::kMaxFileBytes);
        if (!content)
            return;
        const std::optional<DesktopEntry> entry = parseDesktopEntry(*content);
        if (!entry || !entry->isApplication() || entry->hidden)
            return;

        QString name = entry->displayName(m_localeNames);
        if (name.isEmpty())
            name = desktopId.chopped(kDesktopSuffix.size());
        apps.insert(desktopId, IndexedApp{desktopId, name});

        QString programs[] = {baseName(execProgram(entry->exec)), baseName(entry->tryExec.trimmed())};
        if (programs[1] == programs[0])
            programs[1].clear();
        for (const QString &program : programs) {
            if (!program.isEmpty() && !DesktopIndex::isGenericProgram(program))
                claims[program].append(ProgramClaim{desktopId, name, entry->noDisplay});
        }
    }

    const QStringList &m_localeNames;
    QSet<QString> m_seenIds;
    qsizetype m_folderCount = 0;
};

} // namespace

DesktopIndex::DesktopIndex(const RegistryPaths &paths)
    : m_builtAtSeconds(QDateTime::currentSecsSinceEpoch())
{
    Builder builder(paths.localeNames);
    if (!paths.dataHome.isEmpty())
        builder.addDataDir(paths.dataHome);
    for (const QString &dataDir : paths.dataDirs)
        builder.addDataDir(dataDir);

    m_apps = std::move(builder.apps);
    m_folders = std::move(builder.folders);
    // The kernel stamps folders with a coarse clock: a second change in the
    // same tick as one made just before the build leaves the stamp as it
    // was. A folder modified around the build is therefore looked at again
    // once that moment has safely passed (a future time far off is not).
    for (const auto &[path, stamp] : m_folders) {
        if (stamp.exists && stamp.modifiedSeconds >= m_builtAtSeconds - kRecentSeconds
            && stamp.modifiedSeconds <= m_builtAtSeconds + kRecentSeconds)
            m_sawRecentChange = true;
    }
    for (auto it = builder.claims.cbegin(); it != builder.claims.cend(); ++it) {
        if (std::optional<QString> desktopId = resolvedDesktopId(it.value(), it.key()))
            m_programs.insert(it.key(), *std::move(desktopId));
    }
}

const IndexedApp *DesktopIndex::findByDesktopId(const QString &desktopId) const
{
    const auto found = m_apps.constFind(desktopId);
    return found == m_apps.cend() ? nullptr : &found.value();
}

const IndexedApp *DesktopIndex::findByProgram(const QString &baseName) const
{
    const auto found = m_programs.constFind(baseName);
    return found == m_programs.cend() ? nullptr : findByDesktopId(found.value());
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
        QStringLiteral("sh"), QStringLiteral("bash"), QStringLiteral("dash"), QStringLiteral("zsh"),
        QStringLiteral("ksh"), QStringLiteral("mksh"), QStringLiteral("csh"), QStringLiteral("tcsh"),
        QStringLiteral("fish"), QStringLiteral("busybox"),
        // interpreters and runtimes
        QStringLiteral("python"), QStringLiteral("pypy"), QStringLiteral("perl"), QStringLiteral("ruby"),
        QStringLiteral("node"), QStringLiteral("nodejs"), QStringLiteral("java"), QStringLiteral("mono"),
        QStringLiteral("mono-sgen"), QStringLiteral("dotnet"), QStringLiteral("lua"), QStringLiteral("luajit"),
        QStringLiteral("php"), QStringLiteral("tclsh"), QStringLiteral("wish"), QStringLiteral("gjs"),
        QStringLiteral("gjs-console"), QStringLiteral("guile"), QStringLiteral("electron"), QStringLiteral("wine"),
        // launchers and wrappers
        QStringLiteral("env"), QStringLiteral("flatpak"), QStringLiteral("flatpak-spawn"), QStringLiteral("snap"),
        QStringLiteral("xdg-open"), QStringLiteral("gio"), QStringLiteral("gtk-launch"), QStringLiteral("kioclient"),
        QStringLiteral("kde-open"), QStringLiteral("sudo"), QStringLiteral("pkexec"), QStringLiteral("kdesu"),
        QStringLiteral("gksu"), QStringLiteral("gksudo"), QStringLiteral("nohup"), QStringLiteral("setsid"),
        QStringLiteral("nice"), QStringLiteral("ionice"), QStringLiteral("taskset"), QStringLiteral("chrt"),
        QStringLiteral("stdbuf"), QStringLiteral("timeout"), QStringLiteral("bwrap"), QStringLiteral("firejail"),
        QStringLiteral("torsocks"), QStringLiteral("proxychains"), QStringLiteral("prime-run"),
        QStringLiteral("optirun"), QStringLiteral("primusrun"), QStringLiteral("gamemoderun"),
        QStringLiteral("mangohud"), QStringLiteral("dbus-launch"), QStringLiteral("dbus-run-session"),
        QStringLiteral("systemd-run"),
    };
    qsizetype end = baseName.size();
    while (end > 0 && (baseName[end - 1].isDigit() || baseName[end - 1] == u'.'))
        --end;
    return generic.contains(baseName.toString()) || (end > 0 && generic.contains(baseName.first(end).toString()));
}

} // namespace pelmora
