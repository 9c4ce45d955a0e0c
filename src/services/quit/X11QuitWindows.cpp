// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "X11QuitWindows.h"

#include "DisplayConnections.h"
#include "ServerReach.h"

#include "platform/SocketPeer.h"

#include <algorithm>

namespace pelmora {

std::vector<platform::X11ClientWindow> windowsProvenFor(const platform::X11Desktop &desktop, std::uint32_t pid,
                                                        std::optional<std::size_t> targetConnections)
{
    std::vector<platform::X11ClientWindow> own;
    if (!desktop.clients || pid == 0 || !targetConnections)
        return own;
    std::vector<std::uint32_t> bases;
    for (const platform::X11Client &client : *desktop.clients)
        if (client.pid == pid)
            bases.push_back(client.base);
    if (bases.empty() || bases.size() != *targetConnections)
        return own;
    for (const platform::X11ClientWindow &window : desktop.windows)
        if (std::find(bases.cbegin(), bases.cend(), window.client) != bases.cend())
            own.push_back(window);
    return own;
}

std::vector<std::string> x11ServerNames(const std::string &name)
{
    if (name.empty())
        return {};
    return {name, name.front() == '@' ? name.substr(1) : '@' + name};
}

X11QuitWindows::X11QuitWindows(std::unique_ptr<platform::X11Display> display, SocketSurvey &sockets)
    : m_display(std::move(display)), m_sockets(sockets), m_desktop(m_display->readDesktop())
{
}

std::unique_ptr<X11QuitWindows> X11QuitWindows::open(const platform::ProcRoot &root, SocketSurvey &sockets)
{
    std::unique_ptr<platform::X11Display> display = platform::X11Display::open();
    if (!display)
        return nullptr;
    const int fd = display->socketDescriptor();
    std::unique_ptr<X11QuitWindows> windows(new X11QuitWindows(std::move(display), sockets));
    // Which server this is: the name its end of our connection carries (none over TCP).
    if (const std::optional<std::uint64_t> inode = platform::socketInode(fd); inode && sockets.links())
        if (const std::string *name = sockets.links()->peerName(*inode))
            windows->m_serverNames = x11ServerNames(*name);
    windows->m_attributes = windows->m_desktop.clients && !windows->m_serverNames.empty()
        && sharesPidNamespace(root, platform::peerProcessOf(fd));
    return windows;
}

std::vector<QuitWindow> X11QuitWindows::windowsOf(const QuitTarget &target)
{
    std::vector<QuitWindow> own;
    if (!m_attributes || target.pid <= 0)
        return own;
    const std::optional<std::size_t> connections = connectionsTo(m_sockets.heldBy(target.pid), m_sockets.links(),
                                                                 m_serverNames);
    for (const platform::X11ClientWindow &window : windowsProvenFor(m_desktop, std::uint32_t(target.pid), connections))
        own.push_back({window.id, window.takesDeleteWindow});
    return own;
}

void X11QuitWindows::bringForward(std::uint64_t window)
{
    if (m_desktop.windowManagerActivatesWindows)
        m_display->askWindowManagerToActivate(std::uint32_t(window));
}

void X11QuitWindows::askToClose(std::uint64_t window)
{
    // As its title-bar button would ask: through the window manager where it closes windows.
    if (m_desktop.windowManagerClosesWindows)
        m_display->askWindowManagerToClose(std::uint32_t(window));
    else
        m_display->sendDeleteWindow(std::uint32_t(window));
}

void X11QuitWindows::flush()
{
    m_display->sync();
}

} // namespace pelmora
