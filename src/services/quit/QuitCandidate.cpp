// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "QuitCandidate.h"

#include "services/ProcStat.h"
#include "services/ProcessFacts.h"
#include "support/TextServices.h"

#include <charconv>
#include <string>

namespace pelmora {
namespace {

std::optional<ProcStat> readStat(const platform::ProcRoot &root, std::int32_t pid, std::string &buffer)
{
    if (!root.readFile(std::to_string(pid) + "/stat", buffer, 4096))
        return std::nullopt;
    return parseProcStat(buffer);
}

std::optional<QString> appIdOf(const IndexedApp *app)
{
    return app ? std::optional(localizedLowercase(app->name)) : std::nullopt;
}

std::optional<QString> strictAppId(const platform::ProcRoot &root, const AppRegistry &registry, std::int32_t pid)
{
    return appIdOf(registry.strictApplication(readProcessFacts(root, pid)));
}

} // namespace

Candidacy judgeCandidate(const ProcessMetric &seen, const QString &appId, const ProcessNow &now, std::uint32_t ownUid)
{
    if (seen.id <= 1 || now.startTime == 0)
        return Candidacy::noProcess;
    if (seen.startTime == 0)
        return Candidacy::unknownStartTime;
    // Read before and after the rest: everything in between was read of it.
    if (now.startTime != seen.startTime || now.startTimeAfter != seen.startTime)
        return Candidacy::otherProcess;
    if (now.realUid != ownUid)
        return Candidacy::otherUser;
    if (now.appId != appId)
        return Candidacy::notInApplication;
    if (now.ppid > 1 && now.parentAppId == appId)
        return Candidacy::childOfApplication;
    return Candidacy::ask;
}

std::optional<std::uint32_t> parseRealUid(std::string_view status)
{
    // "Uid:\t<real>\t<effective>\t<saved>\t<filesystem>"
    constexpr std::string_view line = "\nUid:";
    std::size_t at = status.starts_with(line.substr(1)) ? 0 : status.find(line);
    if (at == std::string_view::npos)
        return std::nullopt;
    at += status[at] == '\n' ? line.size() : line.size() - 1;
    while (at < status.size() && (status[at] == '\t' || status[at] == ' '))
        ++at;
    std::uint32_t uid = 0;
    const char *first = status.data() + at, *last = status.data() + status.size();
    const auto [end, error] = std::from_chars(first, last, uid);
    if (error != std::errc() || end == first || (end != last && *end != '\t' && *end != ' ' && *end != '\n'))
        return std::nullopt;
    return uid;
}

ProcessNow readProcessNow(const platform::ProcRoot &root, const AppRegistry &registry, std::int32_t pid)
{
    ProcessNow now;
    std::string buffer;
    const std::optional<ProcStat> stat = readStat(root, pid, buffer);
    if (!stat)
        return now;
    now.startTime = stat->startTimeTicks;
    now.ppid = stat->ppid;
    if (root.readFile(std::to_string(pid) + "/status", buffer, 16384))
        now.realUid = parseRealUid(buffer);
    const ProcessFacts facts = readProcessFacts(root, pid);
    const IndexedApp *app = registry.strictApplication(facts);
    now.appId = appIdOf(app);
    now.windowNames = windowNamesOf(app, facts.exePath);
    if (now.ppid > 1)
        now.parentAppId = strictAppId(root, registry, now.ppid);
    if (const std::optional<ProcStat> again = readStat(root, pid, buffer))
        now.startTimeAfter = again->startTimeTicks;
    return now;
}

std::vector<QString> windowNamesOf(const IndexedApp *app, std::string_view exePath)
{
    std::vector<QString> names;
    const auto add = [&names](const QString &name) {
        if (!name.isEmpty() && std::find(names.cbegin(), names.cend(), name) == names.cend())
            names.push_back(name);
    };
    if (app) {
        add(app->desktopId.endsWith(u".desktop") ? app->desktopId.chopped(8) : app->desktopId);
        add(app->startupWMClass);
    }
    const std::size_t slash = exePath.rfind('/');
    const std::string_view file = slash == std::string_view::npos ? exePath : exePath.substr(slash + 1);
    const QString program = QString::fromUtf8(file.data(), qsizetype(file.size()));
    if (!DesktopIndex::isGenericProgram(program))
        add(program);
    return names;
}

PinnedTargets pinQuitTargets(const AppMetric &app, const AppRegistry &registry, const platform::ProcRoot &root,
                             std::uint32_t ownUid)
{
    PinnedTargets pinned;
    std::vector<QuitTarget> &targets = pinned.targets;
    for (const ProcessMetric &process : app.processes) {
        if (process.id <= 1
            || std::any_of(targets.cbegin(), targets.cend(), [&](const QuitTarget &t) { return t.pid == process.id; }))
            continue;
        // Pinned first: whatever is read below is then either of this very
        // process or shows another start time.
        platform::ProcessHandle handle = platform::ProcessHandle::open(process.id);
        if (!handle.isValid())
            continue;
        ProcessNow now = readProcessNow(root, registry, process.id);
        switch (judgeCandidate(process, app.id, now, ownUid)) {
        case Candidacy::ask:
            targets.push_back({process.id, std::move(handle), std::move(now.windowNames)});
            break;
        case Candidacy::otherUser:
            pinned.othersOwnSome = true;
            break;
        default:
            break;
        }
    }
    return pinned;
}

} // namespace pelmora
