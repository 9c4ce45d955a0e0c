// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The desktop index over hostile applications folders, next to the system's
// own folders: a symbolic link to "/" inside an applications folder, and many
// generated entries, in a folder of the search path and in the user's own
// folder (which is read first). For each, the CPU time of one index build and the heap
// it keeps (glibc's count of bytes in use), then the real program's `--once`
// over the same folders: its CPU time and peak resident size (VmHWM).
//   pelmora_bench_registry [--runs N] [--entries N] [--pelmora PATH]
// Prints rows of the bench table on stdout; progress goes to stderr.
#include "BenchStats.h"

#include "services/registry/DesktopIndex.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <malloc.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

using namespace pelmora;
using namespace pelmora::bench;

namespace {

struct Tree {
    std::string label;
    QString dataHome;
    QStringList dataDirs;
};

const QStringList kSystemDirs = {QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share")};

bool writeEntries(const QString &folder, int count)
{
    if (!QDir().mkpath(folder))
        return false;
    for (int i = 0; i < count; ++i) {
        QFile file(folder + QStringLiteral("/org.example.Generated%1.desktop").arg(i, 5, 10, QLatin1Char('0')));
        if (!file.open(QIODevice::WriteOnly))
            return false;
        const QByteArray n = QByteArray::number(i);
        file.write("[Desktop Entry]\nType=Application\nName=Generated Application " + n
                   + "\nName[de]=Erzeugte Anwendung " + n + "\nName[fr]=Application générée " + n
                   + "\nComment=An entry made for a benchmark\nExec=/opt/generated/bin/generated-program-" + n
                   + " --flag %U\nIcon=generated-" + n + "\nCategories=Utility;\n");
    }
    return true;
}

// "+1.2" or "-0.5": a difference, signed.
std::string difference(double value)
{
    return std::string(value >= 0 ? "+" : "") + figure(value);
}

double heapInUseMB()
{
    return double(::mallinfo2().uordblks) / (1024.0 * 1024.0);
}

struct IndexCost {
    Series cpuMs;
    Series keptMB;
    qsizetype apps = 0;
};

IndexCost measureIndex(const Tree &tree, int runs)
{
    IndexCost cost;
    const RegistryPaths paths{tree.dataHome, tree.dataDirs, {}};
    for (int run = -1; run < runs; ++run) { // one build to warm the file cache
        ::malloc_trim(0);
        const double before = heapInUseMB();
        Stopwatch watch;
        const DesktopIndex index(paths);
        const Cost spent = watch.elapsed();
        const double kept = heapInUseMB() - before;
        if (run < 0)
            continue;
        cost.cpuMs.add(spent.cpuMs);
        cost.keptMB.add(kept);
        cost.apps = index.size();
    }
    return cost;
}

struct OnceCost {
    Series cpuMs;
    Series maxRssMB;
    Series lastRssMB; // the last reading before it ended: what it kept
};

// VmHWM (peak so far) and VmRSS of /proc/PID/status in MB; 0 once it has ended.
std::pair<double, double> residentMB(pid_t pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    std::pair<double, double> sizes{0, 0};
    if (!status.open(QIODevice::ReadOnly))
        return sizes;
    for (const QByteArray &line : status.readAll().split('\n')) {
        const double mb = line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
        if (line.startsWith("VmHWM:"))
            sizes.first = mb;
        else if (line.startsWith("VmRSS:"))
            sizes.second = mb;
    }
    return sizes;
}

// `pelmora --once` over the tree, run as a child of its own: its CPU time
// (wait4) and its peak resident size, read until it ends.
OnceCost measureOnce(const std::string &pelmora, const Tree &tree, const QString &scratch, int runs)
{
    OnceCost cost;
    const std::string home = "HOME=" + scratch.toStdString();
    const std::string dataHome = "XDG_DATA_HOME=" + tree.dataHome.toStdString();
    const std::string dataDirs = "XDG_DATA_DIRS=" + tree.dataDirs.join(QLatin1Char(':')).toStdString();
    const std::string path = "PATH=/usr/bin:/bin";
    char *const envp[] = {const_cast<char *>(home.c_str()),     const_cast<char *>(dataHome.c_str()),
                          const_cast<char *>(dataDirs.c_str()), const_cast<char *>(path.c_str()),
                          const_cast<char *>("LANG=C.UTF-8"),   nullptr};
    char *const argv[] = {const_cast<char *>(pelmora.c_str()), const_cast<char *>("--once"), nullptr};
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    for (int run = -1; run < runs; ++run) {
        pid_t pid = -1;
        if (::posix_spawn(&pid, pelmora.c_str(), &actions, nullptr, argv, envp) != 0)
            break;
        // wait4's ru_maxrss would count this benchmark's own pages, which the
        // child had before its exec; VmHWM is the peak of the program alone.
        double peakMB = 0, lastMB = 0;
        for (;;) {
            const auto [peak, now] = residentMB(pid);
            peakMB = std::max(peakMB, peak);
            lastMB = now > 0 ? now : lastMB;
            siginfo_t info{};
            if (::waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid)
                break;
            ::usleep(2000);
        }
        int status = 0;
        rusage usage{};
        while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) { }
        if (run < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
            continue;
        const double cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
            + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
        cost.cpuMs.add(cpu);
        cost.maxRssMB.add(peakMB);
        cost.lastRssMB.add(lastMB);
    }
    ::posix_spawn_file_actions_destroy(&actions);
    return cost;
}

} // namespace

int main(int argc, char *argv[])
{
    int runs = 10;
    int entries = 20000;
    std::string pelmora;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--runs") == 0)
            runs = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--entries") == 0)
            entries = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--pelmora") == 0)
            pelmora = argv[i + 1];
    }
    QCoreApplication app(argc, argv);
    QTemporaryDir scratch;
    const QString home = scratch.filePath(QStringLiteral("home"));
    const QString linked = scratch.filePath(QStringLiteral("linked"));
    const QString many = scratch.filePath(QStringLiteral("many"));
    QDir().mkpath(home);
    QDir().mkpath(linked + QStringLiteral("/applications"));
    // Named to come first, so a scan that follows it spends its budgets there.
    if (!QFile::link(QStringLiteral("/"), linked + QStringLiteral("/applications/a-root"))
        || !writeEntries(many + QStringLiteral("/applications"), entries)) {
        std::fprintf(stderr, "registry: cannot build the trees in %s\n", qPrintable(scratch.path()));
        return 1;
    }
    const std::vector<Tree> trees = {
        {"system folders", home, kSystemDirs},
        {"+ a link to / in an applications folder", home, QStringList{linked} + kSystemDirs},
        {"+ " + std::to_string(entries) + " generated entries", home, QStringList{many} + kSystemDirs},
        {std::to_string(entries) + " generated entries in the user's own folder", many, kSystemDirs},
    };

    std::vector<IndexCost> index;
    for (const Tree &tree : trees) {
        std::fprintf(stderr, "registry: %d index builds, %s\n", runs, tree.label.c_str());
        index.push_back(measureIndex(tree, runs));
    }
    for (std::size_t i = 0; i < trees.size(); ++i) {
        std::string notes = std::to_string(index[i].apps) + " applications; heap kept "
            + figure(index[i].keptMB.median()) + " MB (" + figure(index[i].keptMB.min()) + "–"
            + figure(index[i].keptMB.max()) + ")";
        if (i > 0)
            notes += "; " + ratioText(ratios(index[i].cpuMs, index[0].cpuMs)) + " the system folders";
        printRow("4", "desktop index build (CPU) — " + trees[i].label, index[i].cpuMs, "ms", notes);
    }

    if (pelmora.empty())
        return 0;
    const int onceRuns = std::max(1, std::min(runs, 5));
    std::vector<OnceCost> once;
    for (const Tree &tree : trees) {
        std::fprintf(stderr, "registry: %d runs of --once, %s\n", onceRuns, tree.label.c_str());
        once.push_back(measureOnce(pelmora, tree, home, onceRuns));
    }
    for (std::size_t i = 0; i < trees.size(); ++i) {
        std::string notes = "CPU " + figure(once[i].cpuMs.median()) + " ms (" + figure(once[i].cpuMs.min()) + "–"
            + figure(once[i].cpuMs.max()) + "); RSS at its end " + figure(once[i].lastRssMB.median()) + " MB";
        if (i > 0)
            notes += "; peak " + difference(once[i].maxRssMB.median() - once[0].maxRssMB.median()) + " MB, at its end "
                + difference(once[i].lastRssMB.median() - once[0].lastRssMB.median()) + " MB, CPU "
                + difference(once[i].cpuMs.median() - once[0].cpuMs.median()) + " ms over the system folders";
        printRow("4", "`pelmora --once` peak RSS (VmHWM) — " + trees[i].label, once[i].maxRssMB, "MB", notes);
    }
    return 0;
}
