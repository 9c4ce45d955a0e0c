// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// pelmora_busstranger NAME MARKER: connects to the session bus, hands the
// connection to a child and exits, so the bus goes on naming the ended
// parent's pid for it. The child owns NAME there and exports a "quit"
// action as a GApplication does (org.gtk.Actions at NAME's object path);
// once it serves, the parent prints "ready <its pid> <the child's pid>" and
// ends. The child appends "ACTIVATE <action>" to MARKER for every
// activation, and never quits.
#include <gio/gio.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

const char *marker = nullptr;

void activated(GSimpleAction *action, GVariant *, gpointer)
{
    if (FILE *f = std::fopen(marker, "a")) {
        std::fprintf(f, "ACTIVATE %s\n", g_action_get_name(G_ACTION(action)));
        std::fclose(f);
    }
}

// The bus's socket from DBUS_SESSION_BUS_ADDRESS: unix:abstract= or unix:path=, unescaped addresses only.
int connectToBus()
{
    const char *address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (!address)
        return -1;
    std::string text(address);
    const bool abstract = text.rfind("unix:abstract=", 0) == 0;
    if (!abstract && text.rfind("unix:path=", 0) != 0)
        return -1;
    std::string path = text.substr(text.find('=') + 1);
    path = path.substr(0, path.find_first_of(",;"));
    sockaddr_un to{};
    to.sun_family = AF_UNIX;
    if (path.size() + 2 > sizeof to.sun_path)
        return -1;
    std::memcpy(to.sun_path + (abstract ? 1 : 0), path.data(), path.size());
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    const auto length = socklen_t(offsetof(sockaddr_un, sun_path) + path.size() + 1);
    return connect(fd, reinterpret_cast<const sockaddr *>(&to), length) == 0 ? fd : -1;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3)
        return 2;
    const char *name = argv[1];
    marker = argv[2];
    // Connected here: the bus takes this process's pid for the connection.
    const int fd = connectToBus();
    if (fd < 0)
        return 3;
    int ready[2];
    if (pipe(ready) != 0)
        return 3;
    if (const pid_t child = fork(); child != 0) {
        close(ready[1]);
        char byte = 0;
        if (child < 0 || read(ready[0], &byte, 1) != 1)
            _exit(1);
        std::printf("ready %d %d\n", int(getpid()), int(child));
        std::fflush(stdout);
        _exit(0);
    }
    close(ready[0]);
    // The parent's reader goes with it.
    if (!std::freopen("/dev/null", "w", stdout) || !std::freopen("/dev/null", "w", stderr))
        return 3;

    GError *error = nullptr;
    GSocket *socket = g_socket_new_from_fd(fd, &error);
    if (!socket)
        return 4;
    GSocketConnection *stream = g_socket_connection_factory_create_connection(socket);
    GDBusConnection *bus = g_dbus_connection_new_sync(
        G_IO_STREAM(stream), nullptr,
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT
                             | G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &error);
    if (!bus)
        return 5;
    GSimpleActionGroup *actions = g_simple_action_group_new();
    GSimpleAction *quit = g_simple_action_new("quit", nullptr);
    g_signal_connect(quit, "activate", G_CALLBACK(activated), nullptr);
    g_action_map_add_action(G_ACTION_MAP(actions), G_ACTION(quit));
    std::string path(1, '/');
    path += name;
    for (char &c : path)
        c = c == '.' ? '/' : c;
    if (!g_dbus_connection_export_action_group(bus, path.c_str(), G_ACTION_GROUP(actions), &error))
        return 6;
    GVariant *owned = g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
        g_variant_new("(su)", name, 4u), G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, &error);
    if (!owned)
        return 7;
    g_variant_unref(owned);
    if (write(ready[1], "1", 1) != 1)
        return 8;
    close(ready[1]);
    g_main_loop_run(g_main_loop_new(nullptr, FALSE));
    return 0;
}
