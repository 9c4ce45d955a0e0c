// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The top-level windows of an X11 (or XWayland) display as its window
// manager lists them, and the two ways a window's close button asks it to
// close. Nothing here destroys a window or kills a client.
namespace pelmora::platform {

struct X11ClientWindow {
    std::uint32_t id = 0;
    std::uint32_t pid = 0;          // _NET_WM_PID; 0 when the window does not say
    std::string clientMachine;      // WM_CLIENT_MACHINE; empty when the window does not say
    bool takesDeleteWindow = false; // WM_PROTOCOLS lists WM_DELETE_WINDOW
};

struct X11Desktop {
    // A running window manager lists _NET_CLOSE_WINDOW in _NET_SUPPORTED.
    bool windowManagerClosesWindows = false;
    // _NET_CLIENT_LIST; empty when no window manager runs (a stale list of
    // one that ended is not trusted).
    std::vector<X11ClientWindow> windows;
};

class X11Display {
public:
    // Connects to $DISPLAY; nullptr when it is unset or refuses us.
    static std::unique_ptr<X11Display> open();
    ~X11Display();
    X11Display(const X11Display &) = delete;
    X11Display &operator=(const X11Display &) = delete;

    X11Desktop readDesktop();

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

// The name this machine's X clients put in WM_CLIENT_MACHINE (the host name);
// empty when it cannot be read.
std::string localClientMachine();

} // namespace pelmora::platform
