// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "QuitWindows.h"

#include "platform/X11Windows.h"

#include <optional>
#include <string>
#include <vector>

// Quit's view of an X11 display (also XWayland): a window is a process's
// when the X server itself says its client is that process (X-Resource),
// the server numbers processes as we do, and the process holds as many
// connections to the server as the server has clients of its pid.
namespace pelmora {

// The windows of `desktop` whose client the server attributes to `pid`,
// provided that `targetConnections` (the target's own connections to this
// server) matches the server's clients of that pid: a connection made by an
// earlier process of the same pid and handed on before the pid was reused
// makes them differ, and then none is proven. Nothing without X-Resource.
std::vector<platform::X11ClientWindow> windowsProvenFor(const platform::X11Desktop &desktop, std::uint32_t pid,
                                                        std::optional<std::size_t> targetConnections);

// The names an X server listening on `name` goes by: its abstract socket
// and its file ("@/tmp/.X11-unix/X0" and "/tmp/.X11-unix/X0"); a client
// may have come through either.
std::vector<std::string> x11ServerNames(const std::string &name);

class X11QuitWindows final : public QuitWindows {
public:
    // Nothing when there is no X display to reach.
    static std::unique_ptr<X11QuitWindows> open(const platform::ProcRoot &root, SocketSurvey &sockets);

    bool attributesWindows(const QuitTarget &) override { return m_attributes; }
    std::vector<QuitWindow> windowsOf(const QuitTarget &target) override;
    void bringForward(std::uint64_t window) override;
    void askToClose(std::uint64_t window) override;
    void flush() override;

private:
    X11QuitWindows(std::unique_ptr<platform::X11Display> display, SocketSurvey &sockets);

    std::unique_ptr<platform::X11Display> m_display;
    SocketSurvey &m_sockets;
    platform::X11Desktop m_desktop;
    std::vector<std::string> m_serverNames;
    bool m_attributes = false;
};

} // namespace pelmora
