// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// One refresh of the core (machine readers, process table, grouping, ranking,
// snapshot) next to what a user could run instead, at the live process count
// and again with extra sleeping processes that this program starts and reaps.
//   pelmora_bench_core [--runs N] [--extra N] [--profile-refreshes N]
// Prints rows of the bench table, then the refresh goals with 2,000 extra
// processes, on stdout; progress goes to stderr. With
// --profile-refreshes it only runs that many /proc-source refreshes with the
// extra processes (no table), for perf or callgrind to look at.
#include "BenchStats.h"

#include "platform/ChildProcess.h"
#include "stores/MetricsStore.h"

#include <QCoreApplication>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <numeric>
#include <random>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace pelmora;
using namespace pelmora::bench;

namespace {

// The least any /proc reader must do: list /proc, then open and read every
// PID/stat. No parsing, no bookkeeping.
std::size_t readEveryStat()
{
    std::size_t bytes = 0;
    DIR *dir = ::opendir("/proc");
    if (!dir)
        return 0;
    const int procFd = ::dirfd(dir);
    char buffer[4096];
    while (const dirent *entry = ::readdir(dir)) {
        if (entry->d_name[0] < '1' || entry->d_name[0] > '9')
            continue;
        char path[32];
        const std::size_t n = std::strlen(entry->d_name);
        if (n + 6 > sizeof path)
            continue;
        std::memcpy(path, entry->d_name, n);
        std::memcpy(path + n, "/stat", 6);
        const int fd = ::openat(procFd, path, O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        bytes += got > 0 ? std::size_t(got) : 0;
        ::close(fd);
    }
    ::closedir(dir);
    return bytes;
}

// `sleep infinity` children, started here and stopped and reaped by PID.
// Each dies with this program too (PR_SET_PDEATHSIG), whatever ends it.
class Sleepers {
public:
    ~Sleepers() { stop(); }

    bool start(int count)
    {
        const pid_t parent = ::getpid();
        for (int i = 0; i < count; ++i) {
            const pid_t pid = ::fork();
            if (pid < 0) {
                std::fprintf(stderr, "fork failed after %d sleepers: %s\n", i, std::strerror(errno));
                return false;
            }
            if (pid == 0) {
                ::prctl(PR_SET_PDEATHSIG, SIGKILL);
                if (::getppid() != parent)
                    ::_exit(0);
                const int null = ::open("/dev/null", O_RDWR);
                ::dup2(null, 0);
                ::dup2(null, 1);
                ::dup2(null, 2);
                ::execl("/bin/sleep", "sleep", "infinity", static_cast<char *>(nullptr));
                ::_exit(127);
            }
            m_pids.push_back(pid);
        }
        // Measure only once every child is the sleeping program itself.
        for (const pid_t pid : m_pids) {
            for (int attempt = 0; attempt < 500 && comm(pid) != "sleep"; ++attempt)
                ::usleep(10000);
        }
        return true;
    }

    void stop()
    {
        for (const pid_t pid : m_pids)
            ::kill(pid, SIGKILL);
        for (const pid_t pid : m_pids) {
            while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) { }
        }
        m_pids.clear();
    }

private:
    static std::string comm(pid_t pid)
    {
        std::ifstream file("/proc/" + std::to_string(pid) + "/comm");
        std::string name;
        std::getline(file, name);
        return name;
    }

    std::vector<pid_t> m_pids;
};

MetricsStore::Options liveOptions(ProcessMetricsProvider::Source source)
{
    ProcessMetricsProvider::Options process = ProcessMetricsProvider::Options::fromEnvironment();
    process.source = source;
    // The timer never fires here: no event loop runs.
    return MetricsStore::Options{SystemMetricsProvider(), ProcessMetricsProvider(std::move(process)),
                                 [] { return WallClock::now(); }, std::chrono::hours(1)};
}

struct Candidate {
    std::string name;
    std::function<void()> run;
    Series wall;
    Series cpu;
};

void runRounds(std::vector<Candidate> &candidates, int rounds)
{
    for (Candidate &c : candidates) // warm caches and baselines
        for (int i = 0; i < 3; ++i)
            c.run();
    // A new order every round: a candidate that always ran right after the
    // same other one would inherit its warm (or cold) caches every time.
    std::mt19937 shuffle(20240601);
    std::vector<std::size_t> order(candidates.size());
    std::iota(order.begin(), order.end(), 0);
    for (int round = 0; round < rounds; ++round) {
        std::shuffle(order.begin(), order.end(), shuffle);
        for (const std::size_t k : order) {
            Candidate &c = candidates[k];
            const Cost cost = measure(c.run);
            c.wall.add(cost.wallMs);
            c.cpu.add(cost.cpuMs);
        }
    }
}

std::string cpuNote(const Candidate &c)
{
    return "CPU " + figure(c.cpu.median()) + " ms (" + figure(c.cpu.min()) + "–" + figure(c.cpu.max()) + ")";
}

// The per-round ratios of the /proc refresh to the floor and to a bare ps run.
struct RefreshRatios {
    Series wallToFloor, cpuToFloor, wallToPs, cpuToPs;
};

RefreshRatios measureAt(const std::string &label, int rounds)
{
    MetricsStore procStore(liveOptions(ProcessMetricsProvider::Source::procfs));
    MetricsStore psStore(liveOptions(ProcessMetricsProvider::Source::ps));
    const std::vector<std::string> psArguments = {"-axo", "pid=,pcpu=,rss=,comm="};
    const std::vector<std::string> topArguments = {"-b", "-n", "1"};
    std::size_t sink = 0;

    std::vector<Candidate> candidates;
    candidates.push_back({"floor: read every /proc/PID/stat", [&] { sink += readEveryStat(); }, {}, {}});
    candidates.push_back({"refresh, /proc source", [&] { procStore.refresh(); }, {}, {}});
    candidates.push_back({"refresh, ps source", [&] { psStore.refresh(); }, {}, {}});
    candidates.push_back({"bare `/bin/ps -axo pid=,pcpu=,rss=,comm=`",
                          [&] { sink += platform::runToCompletion("/bin/ps", psArguments).output.size(); },
                          {},
                          {}});
    candidates.push_back({"`top -b -n 1`",
                          [&] { sink += platform::runToCompletion("/usr/bin/top", topArguments).output.size(); },
                          {},
                          {}});
    // A store made now: desktop index built, every process's facts read once.
    candidates.push_back({"new store + first refresh, /proc source",
                          [&] { MetricsStore fresh(liveOptions(ProcessMetricsProvider::Source::procfs)); },
                          {},
                          {}});

    const int before = liveProcessCount();
    runRounds(candidates, rounds);
    const int after = liveProcessCount();
    std::fprintf(stderr, "  %s: %d..%d processes, %zu bytes read\n", label.c_str(), before, after, sink);

    const std::string where = label + ", " + std::to_string(before) + " processes";
    const Candidate &floor = candidates[0];
    const Candidate &refresh = candidates[1];
    const Candidate &ps = candidates[3];
    for (const Candidate &c : candidates) {
        std::string notes = cpuNote(c);
        if (&c != &floor && &c != &ps && c.name.rfind("new store", 0) != 0) {
            notes += "; wall " + ratioText(ratios(c.wall, floor.wall)) + " floor, " + ratioText(ratios(c.wall, ps.wall))
                + " bare ps";
            if (&c == &refresh)
                notes += "; CPU " + ratioText(ratios(c.cpu, floor.cpu)) + " floor, " + ratioText(ratios(c.cpu, ps.cpu))
                    + " bare ps";
        }
        if (&c == &ps)
            notes += "; wall " + ratioText(ratios(c.wall, floor.wall)) + " floor";
        if (c.name.starts_with("`top"))
            notes += "; top waits for a second sample before its only frame";
        printRow("1", c.name + " — " + where, c.wall, "ms", notes);
    }
    return {ratios(refresh.wall, floor.wall), ratios(refresh.cpu, floor.cpu), ratios(refresh.wall, ps.wall),
            ratios(refresh.cpu, ps.cpu)};
}

// The goals are about cost, so the verdict reads the CPU ratios; the wall
// ratios, which add waiting for a processor, stand beside them.
void printRefreshGoals(const RefreshRatios &r, int extra)
{
    const std::string where = "with " + std::to_string(extra) + " extra processes";
    printGoal("refresh " + where + " ≤ 1.2 × the floor (one `stat` read of every pid)",
              "CPU " + ratioText(r.cpuToFloor) + "; wall " + ratioText(r.wallToFloor), r.cpuToFloor.median() <= 1.2);
    printGoal("refresh " + where + " ≤ 0.25 × one bare `ps` run",
              "CPU " + ratioText(r.cpuToPs) + "; wall " + ratioText(r.wallToPs), r.cpuToPs.median() <= 0.25);
}

} // namespace

int main(int argc, char *argv[])
{
    int rounds = 30;
    int extra = 2000;
    int profileRefreshes = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--runs") == 0)
            rounds = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--extra") == 0)
            extra = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--profile-refreshes") == 0)
            profileRefreshes = std::atoi(argv[i + 1]);
    }
    qunsetenv("PELMORA_METRICS_PROBE_PATH");
    qunsetenv("PELMORA_PROCESS_SOURCE");
    QCoreApplication app(argc, argv);

    if (profileRefreshes > 0) {
        Sleepers sleepers;
        if (sleepers.start(extra)) {
            MetricsStore store(liveOptions(ProcessMetricsProvider::Source::procfs));
            const Cost cost = measure([&] {
                for (int i = 0; i < profileRefreshes; ++i)
                    store.refresh();
            });
            std::fprintf(stderr, "%d refreshes: %.3f ms wall, %.3f ms CPU each\n", profileRefreshes,
                         cost.wallMs / profileRefreshes, cost.cpuMs / profileRefreshes);
        }
        return 0;
    }

    std::fprintf(stderr, "core refresh: %d rounds at the live process count\n", rounds);
    measureAt("live", rounds);

    std::fprintf(stderr, "core refresh: starting %d sleeping processes\n", extra);
    Sleepers sleepers;
    if (!sleepers.start(extra)) {
        sleepers.stop();
        return 1;
    }
    const RefreshRatios loaded = measureAt("live + " + std::to_string(extra) + " sleeping", rounds);
    sleepers.stop();
    printRefreshGoals(loaded, extra);
    std::fprintf(stderr, "core refresh: sleepers reaped, %d processes left\n", liveProcessCount());
    return 0;
}
