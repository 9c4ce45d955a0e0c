// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "QuitWindows.h"

#include "platform/WaylandToplevels.h"

#include <span>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

// Quit's view of a Wayland compositor that lists other clients' windows. In
// every case the target must be proven a client of this very compositor: it
// holds a connection to the socket our own connection reached (a client of
// XWayland only is not, so an X11 window's claimed pid never counts here).
// Then a window is the target's
//   - with KWin, when KWin names the target's pid (taken from the kernel
//     when the client connected) and KWin numbers processes as we do;
//   - with wlroots (sway and its kin), which names no process, when the
//     app_id its client chose is one of the names of the target's
//     application (its desktop entry's id or StartupWMClass, or its
//     executable's name).
// A window's title never counts.

namespace pelmora {

// Whether `appId` is one of `names`: equal but for ASCII case (desktop ids
// and window classes differ in case from the app_id an application sets,
// "FeatherPad" and "featherpad"). An empty app_id is nobody's.
bool appIdNames(std::string_view appId, std::span<const QString> names);

class WaylandQuitWindows final : public QuitWindows {
public:
    // Over `toplevels`, a connection made before `sockets` first read the
    // socket table (it names the compositor by our connection's far end).
    static std::unique_ptr<WaylandQuitWindows> over(std::unique_ptr<platform::WaylandToplevels> toplevels,
                                                    const platform::ProcRoot &root, SocketSurvey &sockets);

    bool attributesWindows(const QuitTarget &target) override;
    std::vector<QuitWindow> windowsOf(const QuitTarget &target) override;
    void bringForward(std::uint64_t window) override;
    void askToClose(std::uint64_t window) override;
    void flush() override;

private:
    WaylandQuitWindows(std::unique_ptr<platform::WaylandToplevels> toplevels, SocketSurvey &sockets);
    // How many connections `target` holds to this compositor; nothing when uncountable.
    std::optional<std::size_t> connectionsOf(const QuitTarget &target);

    std::unique_ptr<platform::WaylandToplevels> m_toplevels;
    SocketSurvey &m_sockets;
    std::vector<std::string> m_serverNames; // the compositor's socket, as its clients' peers name it
    bool m_sharesPids = false; // the compositor's pids are ours
    std::unordered_set<std::uint32_t> m_given; // windows already counted as some target's
};

} // namespace pelmora
