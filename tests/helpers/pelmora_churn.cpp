// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// pelmora_churn [--alive N]: keeps up to N (24) short-lived children alive, each
// 0-120 ms, burning a little CPU, one in three renaming itself as it runs.
// On SIGTERM it reaps the children and exits 0.
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
void onTerm(int)
{
    stopping = 1;
}

void sleepMs(long ms)
{
    const timespec t{ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&t, nullptr);
}

long nowMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000 + now.tv_nsec / 1000000;
}

[[noreturn]] void child(unsigned seed)
{
    const long end = nowMs() + long(seed % 120);
    for (int round = 0; round == 0 || nowMs() < end; ++round) {
        if (seed % 3 == 0) {
            char name[16];
            std::snprintf(name, sizeof name, "churn-%u-%d", seed % 1000, round % 10);
            prctl(PR_SET_NAME, name, 0, 0, 0);
        }
        volatile unsigned spin = 0;
        for (int i = 0; i < 20000; ++i)
            spin = spin + 1;
        sleepMs(5);
    }
    _exit(0);
}

} // namespace

int main(int argc, char **argv)
{
    int alive = 24;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--alive") == 0)
            alive = std::atoi(argv[i + 1]);
    struct sigaction action { };
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
    signal(SIGTERM, SIG_IGN);
    while (running > 0 && wait(nullptr) > 0)
        --running;
    return 0;
}
