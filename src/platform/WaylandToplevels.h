// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Other clients' top-level windows as a compositor lists them to a task bar,
// each with a close request that works as the window's close button:
// wlroots compositors (sway and its kin, zwlr_foreign_toplevel_manager_v1)
// give the app_id its client set and name no process; KWin
// (org_kde_plasma_window_management, offered only to a program whose
// installed desktop file asks for it) also names the process that connected.
// A connection of its own, made only while a quit runs; never blocks for long.
namespace pelmora::platform {

struct WaylandToplevel {
    std::uint32_t id = 0; // this connection's number for it
    std::string appId; // as the client set it; empty when unset
    // KWin: the pid of the client, as the kernel told KWin when it
    // connected (an X11 window's pid is what that client claims); 0: unknown.
    std::uint32_t pid = 0;
    bool closeable = true; // false where the compositor says it cannot be closed
};

class WaylandToplevels {
public:
    // The compositor the environment names ($WAYLAND_DISPLAY below
    // $XDG_RUNTIME_DIR, or an absolute path), its top-level windows listed;
    // nothing when there is none or it does not answer in time.
    static std::unique_ptr<WaylandToplevels> open();
    ~WaylandToplevels();
    WaylandToplevels(const WaylandToplevels &) = delete;
    WaylandToplevels &operator=(const WaylandToplevels &) = delete;

    enum class Listing { none, byAppId, byPid };
    // Whether, and how, the compositor lists other clients' windows.
    Listing listing() const;
    const std::vector<WaylandToplevel> &toplevels() const { return m_toplevels; }
    // Our end of the connection, to tell which compositor this is.
    int socketDescriptor() const;

    // Brings the window forward and gives it the keyboard (on the first seat).
    void activate(std::uint32_t id);
    void close(std::uint32_t id);
    // Returns once the compositor has taken every request so far, or after a second.
    void flush();

    struct Connection; // the protocol objects; public for the listeners only

private:
    WaylandToplevels();
    std::unique_ptr<Connection> m_connection;
    std::vector<WaylandToplevel> m_toplevels;
};

} // namespace pelmora::platform
