// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

// The top-level windows of an X11 (or XWayland) display as its window
// manager lists them, which client made each one and which process that
// client is by the server's own account (X-Resource extension), and what a
// pager and a window's close button ask of the window manager. Nothing here
// destroys a window or kills a client.
namespace pelmora::platform {

struct X11ClientWindow {
    std::uint32_t id = 0;
    std::uint32_t client = 0; // the resource base of the connection that made it
    bool takesDeleteWindow = false; // WM_PROTOCOLS lists WM_DELETE_WINDOW
};

// A client connection whose process the server knows: a local one.
struct X11Client {
    std::uint32_t base = 0; // its resource base
    std::uint32_t pid = 0; // in the server's pid namespace
};

struct X11Desktop {
    // A running window manager lists these in _NET_SUPPORTED.
    bool windowManagerClosesWindows = false; // _NET_CLOSE_WINDOW
    bool windowManagerActivatesWindows = false; // _NET_ACTIVE_WINDOW
    // _NET_CLIENT_LIST_STACKING, bottom to top (_NET_CLIENT_LIST where the
    // window manager keeps no stacking list); empty when no window manager
    // runs (a stale list of one that ended is not trusted).
    std::vector<X11ClientWindow> windows;
    // Every local client with its process; nothing when the server has no
    // X-Resource extension (1.2 or later) and so cannot say.
    std::optional<std::vector<X11Client>> clients;
};

class X11Display {
public:
    // Connects to $DISPLAY; nullptr when it is unset or refuses us.
    static std::unique_ptr<X11Display> open();
    ~X11Display();
    X11Display(const X11Display &) = delete;
    X11Display &operator=(const X11Display &) = delete;

    X11Desktop readDesktop();

    // The descriptor of this connection's socket, for asking the kernel who
    // is at its other end.
    int socketDescriptor() const;

    // What a pager does: _NET_CURRENT_DESKTOP to the window's workspace, then
    // _NET_ACTIVE_WINDOW (source 2): the window manager unminimises, raises
    // and focuses it.
    void askWindowManagerToActivate(std::uint32_t window);
    // _NET_CLOSE_WINDOW to the root window: the window manager closes the
    // window as its title-bar button would.
    void askWindowManagerToClose(std::uint32_t window);
    // A WM_DELETE_WINDOW client message to the window itself.
    void sendDeleteWindow(std::uint32_t window);
    // Returns once the server has taken every request sent so far.
    void sync();

private:
    struct Private;
    explicit X11Display(std::unique_ptr<Private> d);
    std::unique_ptr<Private> d;
};

} // namespace pelmora::platform
