// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// pelmora_testapp --busy|--idle [--marker FILE]: a stand-in application that
// prints "ready", spins or sleeps until SIGTERM, appends "SIGTERM <pid>" to FILE, exits 0.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {
volatile std::sig_atomic_t terminated = 0;
void onTerm(int) { terminated = 1; }
} // namespace

int main(int argc, char **argv)
{
    bool busy = false;
    const char *marker = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--busy") == 0)
            busy = true;
        else if (std::strcmp(argv[i], "--marker") == 0 && i + 1 < argc)
            marker = argv[++i];
    }
    struct sigaction action {};
    action.sa_handler = onTerm;
    sigaction(SIGTERM, &action, nullptr);

    std::printf("ready\n");
    std::fflush(stdout);
    volatile unsigned long spin = 0;
    while (!terminated) {
        if (busy)
            spin = spin + 1;
        else
            pause();
    }
    if (FILE *f = marker ? std::fopen(marker, "a") : nullptr) {
        std::fprintf(f, "SIGTERM %d\n", int(getpid()));
        std::fclose(f);
    }
    return 0;
}
