// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "WaylandQuitWindows.h"

#include "DisplayConnections.h"
#include "ServerReach.h"

#include "platform/SocketPeer.h"

namespace pelmora {

bool appIdNames(std::string_view appId, std::span<const QString> names)
{
    if (appId.empty())
        return false;
    const QString id = QString::fromUtf8(appId.data(), qsizetype(appId.size()));
    // ASCII case only: a locale's case rules must not make two names one.
    const auto asciiLower = [](QString text) {
        for (QChar &c : text)
            if (c.unicode() >= u'A' && c.unicode() <= u'Z')
                c = QChar(c.unicode() + (u'a' - u'A'));
        return text;
    };
    const QString wanted = asciiLower(id);
    return std::any_of(names.begin(), names.end(),
                       [&](const QString &name) { return !name.isEmpty() && asciiLower(name) == wanted; });
}

WaylandQuitWindows::WaylandQuitWindows(std::unique_ptr<platform::WaylandToplevels> toplevels, SocketSurvey &sockets)
    : m_toplevels(std::move(toplevels)), m_sockets(sockets)
{
}

std::unique_ptr<WaylandQuitWindows> WaylandQuitWindows::over(std::unique_ptr<platform::WaylandToplevels> toplevels,
                                                             const platform::ProcRoot &root, SocketSurvey &sockets)
{
    const int fd = toplevels->socketDescriptor();
    std::unique_ptr<WaylandQuitWindows> windows(new WaylandQuitWindows(std::move(toplevels), sockets));
    // Which compositor this is: the name its end of our connection carries.
    if (const std::optional<std::uint64_t> inode = platform::socketInode(fd); inode && sockets.links())
        if (const std::string *name = sockets.links()->peerName(*inode))
            windows->m_serverNames = {*name};
    windows->m_sharesPids = sharesPidNamespace(root, platform::peerProcessOf(fd));
    return windows;
}

std::optional<std::size_t> WaylandQuitWindows::connectionsOf(const QuitTarget &target)
{
    if (m_serverNames.empty() || target.pid <= 0)
        return std::nullopt;
    return connectionsTo(m_sockets.heldBy(target.pid), m_sockets.links(), m_serverNames);
}

bool WaylandQuitWindows::attributesWindows(const QuitTarget &target)
{
    // Silent only towards its own clients (and those that might be).
    const std::optional<std::size_t> connections = connectionsOf(target);
    using Listing = platform::WaylandToplevels::Listing;
    const Listing listing = m_toplevels->listing();
    return (connections && *connections == 0)
        || (!m_serverNames.empty() && (listing == Listing::byAppId || (listing == Listing::byPid && m_sharesPids)));
}

std::vector<QuitWindow> WaylandQuitWindows::windowsOf(const QuitTarget &target)
{
    using Listing = platform::WaylandToplevels::Listing;
    std::vector<QuitWindow> own;
    const std::optional<std::size_t> connections = connectionsOf(target);
    if (!connections || *connections == 0 || !attributesWindows(target))
        return own;
    const bool byPid = m_toplevels->listing() == Listing::byPid;
    for (const platform::WaylandToplevel &toplevel : m_toplevels->toplevels())
        if (!m_given.contains(toplevel.id)
            && (byPid ? toplevel.pid == std::uint32_t(target.pid) : appIdNames(toplevel.appId, target.windowNames))) {
            m_given.insert(toplevel.id);
            own.push_back({toplevel.id, toplevel.closeable});
        }
    return own;
}

void WaylandQuitWindows::bringForward(std::uint64_t window)
{
    m_toplevels->activate(std::uint32_t(window));
}

void WaylandQuitWindows::askToClose(std::uint64_t window)
{
    m_toplevels->close(std::uint32_t(window));
}

void WaylandQuitWindows::flush()
{
    m_toplevels->flush();
}

} // namespace pelmora
