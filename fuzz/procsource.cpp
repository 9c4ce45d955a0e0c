// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// ProcProcessSource over a one-process proc tree made from the input. Parts,
// separated by "\n--\n": uptime, PID/stat, PID/cmdline, PID/cgroup, the
// target of PID/exe, and PID/stat for the second and third passes (the first
// one again when empty). A fourth pass finds the process gone.
#include "FuzzCheck.h"

#include "services/AppPathRule.h"
#include "services/ProcProcessSource.h"
#include "services/ProcStat.h"
#include "services/registry/UnitName.h"

#include <QTemporaryDir>

#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace pelmora;

namespace {

constexpr std::int32_t kPid = 4242;

void writeFile(const std::string &path, std::string_view content)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        std::abort();
    if (!content.empty() && ::write(fd, content.data(), content.size()) != ssize_t(content.size()))
        std::abort();
    ::close(fd);
}

int lookups = 0;

std::optional<QString> lookup(const ProcessFacts &facts, std::string_view commandPath)
{
    ++lookups;
    const QStringList ids = desktopIdsFromCgroup(facts.cgroup);
    if (!ids.isEmpty())
        return ids.first();
    const QString path = QString::fromUtf8(commandPath.data(), qsizetype(commandPath.size()));
    return appNameFromPath(path).value_or(QStringLiteral("App"));
}

void checkPass(const QList<ProcessMetric> &rows, const ProcProcessSource &source)
{
    FUZZ_CHECK(rows.size() <= 1 && source.cachedProcessCount() <= 1);
    for (const ProcessMetric &row : rows) {
        FUZZ_CHECK(row.id == kPid);
        FUZZ_CHECK(row.cpuPercent >= 0.0); // also false for NaN
        FUZZ_CHECK(row.cpuPercent > 0.0 || row.memoryBytes != 0);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static QTemporaryDir dir;
    static const std::string root = dir.path().toStdString();
    static const std::string pidDir = root + '/' + std::to_string(kPid) + '/';
    static const std::string goneDir = root + "/.gone";
    static const bool made = ::mkdir(pidDir.c_str(), 0700) == 0;
    if (!made)
        std::abort();
    // The previous input ended with the process gone: bring its folder back.
    if (::rename(goneDir.c_str(), pidDir.c_str()) != 0 && ::access(pidDir.c_str(), F_OK) != 0)
        std::abort();

    const std::vector<std::string_view> part = fuzz::parts(fuzz::text(data, size), 6);
    writeFile(root + "/uptime", part[0]);
    writeFile(pidDir + "stat", part[1]);
    writeFile(pidDir + "cmdline", part[2]);
    writeFile(pidDir + "cgroup", part[3]);
    ::unlink((pidDir + "exe").c_str());
    const std::string target(part[4].substr(0, 4000));
    if (!target.empty() && target.find('\0') == std::string::npos)
        ::symlink(target.c_str(), (pidDir + "exe").c_str());

    double now = 100.0;
    ProcProcessSource source(root, [&now] { return now; });
    checkPass(source.read(lookup, 1), source);

    if (!part[5].empty())
        writeFile(pidDir + "stat", part[5]);
    // Listed as another program than before (start time, comm or where exec
    // mapped it): its application was asked for again.
    const std::optional<ProcStat> before = parseProcStat(part[1]);
    const std::optional<ProcStat> after = parseProcStat(part[5].empty() ? part[1] : part[5]);
    const bool changed = before && after
        && (before->startTimeTicks != after->startTimeTicks || before->comm != after->comm
            || before->startCode != after->startCode || before->startStack != after->startStack);
    const auto pass = [&](quint64 generation) {
        now += 1.0;
        lookups = 0;
        const QList<ProcessMetric> rows = source.read(lookup, generation);
        checkPass(rows, source);
        return !rows.isEmpty();
    };
    FUZZ_CHECK(!pass(1) || !changed || lookups > 0);
    // A new lookup generation asks again; then, after at most one more pass
    // for a process that was young when resolved, nothing is asked.
    FUZZ_CHECK(!pass(2) || lookups > 0);
    pass(2);
    FUZZ_CHECK(!pass(2) || lookups == 0);

    // The process ends: its folder leaves the listing.
    if (::rename(pidDir.c_str(), goneDir.c_str()) != 0)
        std::abort();
    now += 1.0;
    FUZZ_CHECK(source.read(lookup, 2).isEmpty() && source.cachedProcessCount() == 0);
    return 0;
}
