// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// pelmora_testapp --busy|--idle [--marker FILE] [--hold PERCENT] [--connect SOCKET]:
// a stand-in application that holds PERCENT of the machine's memory (touched,
// so that it counts as used), prints "ready", spins or sleeps until SIGTERM,
// appends "SIGTERM <pid>" to FILE, exits 0. With --connect it holds a
// connection to the unix socket SOCKET (a stand-in display server) meanwhile.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
volatile std::sig_atomic_t terminated = 0;
void *volatile held = nullptr; // kept reachable, so the memory is not optimised away
void onTerm(int)
{
    terminated = 1;
}
} // namespace

int main(int argc, char **argv)
{
    bool busy = false;
    const char *marker = nullptr;
    int hold = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--busy") == 0)
            busy = true;
        else if (std::strcmp(argv[i], "--marker") == 0 && i + 1 < argc)
            marker = argv[++i];
        else if (std::strcmp(argv[i], "--hold") == 0 && i + 1 < argc)
            hold = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--connect") == 0 && i + 1 < argc) {
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::strncpy(address.sun_path, argv[++i], sizeof address.sun_path - 1);
            const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
            if (connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0)
                return 2;
        }
    }
    if (hold > 0) {
        const long bytes = sysconf(_SC_PHYS_PAGES) / 100 * hold * sysconf(_SC_PAGESIZE);
        held = bytes > 0 ? std::malloc(size_t(bytes)) : nullptr;
        if (held)
            std::memset(held, 1, size_t(bytes));
    }
    struct sigaction action { };
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
