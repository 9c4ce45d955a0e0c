// Keeps starting and ending short-lived processes for soak tests:
//   pelmora_churn [--alive N]
// Each child lives 0-120 ms, burns a little CPU, and one in three renames
// itself (prctl PR_SET_NAME) while it runs. Up to N (default 24) are alive
// at once. On SIGTERM the children are stopped and reaped, then it exits 0.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t stopping = 0;
void onTerm(int) { stopping = 1; }

void sleepMs(long ms)
{
    timespec t{ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&t, nullptr);
}

[[noreturn]] void child(unsigned seed)
{
    const long lifeMs = long(seed % 120);
    const bool renames = seed % 3 == 0;
    timespec start{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    for (int round = 0;; ++round) {
        if (renames) {
            char name[16];
            std::snprintf(name, sizeof name, "churn-%u-%d", seed % 1000, round % 10);
            prctl(PR_SET_NAME, name, 0, 0, 0);
        }
        volatile unsigned spin = 0;
        for (int i = 0; i < 20000; ++i)
            spin = spin + 1;
        sleepMs(5);
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        if ((now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000 >= lifeMs)
            _exit(0);
    }
}

} // namespace

int main(int argc, char **argv)
{
    int alive = 24;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--alive") == 0)
            alive = std::atoi(argv[i + 1]);
    struct sigaction action {};
    action.sa_handler = onTerm;
    sigaction(SIGTERM, &action, nullptr);

    std::printf("ready\n");
    std::fflush(stdout);
    unsigned seed = unsigned(getpid());
    int running = 0;
    while (!stopping) {
        while (waitpid(-1, nullptr, WNOHANG) > 0)
            --running;
        if (running < alive) {
            seed = seed * 1103515245u + 12345u;
            const pid_t pid = fork();
            if (pid == 0) {
                signal(SIGTERM, SIG_DFL);
                child(seed >> 8);
            }
            if (pid > 0)
                ++running;
        } else {
            sleepMs(2);
        }
    }
    // Children share our process group only if we made one; end them by pid instead.
    signal(SIGTERM, SIG_IGN);
    while (running > 0 && wait(nullptr) > 0)
        --running;
    return 0;
}
