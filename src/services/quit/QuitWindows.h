// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "QuitCandidate.h"

#include <cstdint>
#include <memory>
#include <vector>

// The window system as a quit sees it: which windows it proves to be a
// process's own, and the two things a quit asks of a window. One
// implementation per window system (X11 and XWayland, a Wayland compositor);
// a quit knows nothing else about them.
namespace pelmora {

class SocketSurvey;

struct QuitWindow {
    std::uint64_t id = 0;
    // Takes a close request the way its close button does (and may ask
    // about unsaved work); else only killing its client would close it.
    bool takesCloseRequest = false;
};

class QuitWindows {
public:
    virtual ~QuitWindows() = default;

    // Whether this window system can say which of `target`'s windows are
    // its own at all. When it cannot, no window is the target's, and a
    // target that talks to it may hold windows nobody can ask.
    virtual bool attributesWindows(const QuitTarget &target) = 0;

    // The top-level windows that the window system proves belong to the
    // pinned `target`, bottom to top. A window whose owner it cannot name
    // is nobody's.
    virtual std::vector<QuitWindow> windowsOf(const QuitTarget &target) = 0;

    // Brings `window` to the user as a pager does: onto the current
    // workspace's view, unminimised, raised and focused, so that what it
    // asks next appears where the user is.
    virtual void bringForward(std::uint64_t window) = 0;

    // Asks `window` to close as its close button would. Only for a window
    // that takes such a request.
    virtual void askToClose(std::uint64_t window) = 0;

    // Returns once every request so far is on its way.
    virtual void flush() = 0;
};

// The window systems of this session, reached as Pelmora itself reaches
// them (an X server, a Wayland compositor, both in a session with
// XWayland); nothing when there is none. `sockets` must outlive it.
std::unique_ptr<QuitWindows> openQuitWindows(const platform::ProcRoot &root, SocketSurvey &sockets);

} // namespace pelmora
