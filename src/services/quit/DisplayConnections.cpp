// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "DisplayConnections.h"

#include <QtGlobal>

#include <algorithm>
#include <charconv>
#include <utility>

namespace pelmora {
namespace {

// Splits one table line at runs of spaces.
std::vector<std::string_view> fields(std::string_view line)
{
    std::vector<std::string_view> out;
    std::size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t'))
            ++at;
        const std::size_t start = at;
        while (at < line.size() && line[at] != ' ' && line[at] != '\t')
            ++at;
        if (at > start)
            out.push_back(line.substr(start, at - start));
    }
    return out;
}

template<typename Visit> void forEachDataLine(std::string_view table, Visit &&visit)
{
    bool header = true;
    while (!table.empty()) {
        const std::size_t end = table.find('\n');
        const std::string_view line = table.substr(0, end);
        table = end == std::string_view::npos ? std::string_view() : table.substr(end + 1);
        if (!std::exchange(header, false))
            visit(fields(line));
    }
}

template<typename Int> std::optional<Int> number(std::string_view text, int base = 10)
{
    Int value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

bool isX11Port(std::string_view address)
{
    const std::size_t colon = address.rfind(':');
    const std::optional<unsigned> port = colon == std::string_view::npos
        ? std::nullopt
        : number<unsigned>(address.substr(colon + 1), 16);
    return port && *port >= 6000 && *port <= 6063;
}

bool contains(const std::vector<std::uint64_t> &haystack, std::uint64_t needle)
{
    return std::find(haystack.cbegin(), haystack.cend(), needle) != haystack.cend();
}

} // namespace

bool isDisplaySocketName(std::string_view name, std::string_view waylandSocket)
{
    if (name.empty())
        return false;
    if (name == waylandSocket)
        return true;
    if (name.front() == '@')
        name.remove_prefix(1);
    constexpr std::string_view x11 = "/tmp/.X11-unix/X";
    if (name.starts_with(x11)) {
        const std::string_view display = name.substr(x11.size());
        return !display.empty()
            && std::all_of(display.begin(), display.end(), [](char c) { return c >= '0' && c <= '9'; });
    }
    const std::size_t slash = name.rfind('/');
    const std::string_view file = slash == std::string_view::npos ? name : name.substr(slash + 1);
    return file.starts_with("wayland-") && file.size() > 8 && !file.ends_with(".lock");
}

std::string waylandSocketPath(std::string_view waylandDisplay, std::string_view runtimeDir)
{
    if (waylandDisplay.empty())
        return {};
    if (waylandDisplay.front() == '/')
        return std::string(waylandDisplay);
    if (runtimeDir.empty())
        return {};
    return std::string(runtimeDir) + '/' + std::string(waylandDisplay);
}

SocketLinks::SocketLinks(std::span<const platform::UnixSocket> sockets, std::string_view waylandSocket)
{
    m_peerOf.reserve(sockets.size());
    for (const platform::UnixSocket &socket : sockets) {
        m_peerOf.emplace(socket.inode, socket.peer);
        if (!socket.name.empty())
            m_nameOf.emplace(socket.inode, socket.name);
        // A server's listening socket and every connection it accepted carry its name.
        if (isDisplaySocketName(socket.name, waylandSocket))
            m_display.insert(socket.inode);
    }
}

SocketLinks::Kind SocketLinks::classify(std::uint64_t inode) const
{
    const auto it = m_peerOf.find(inode);
    if (it == m_peerOf.cend())
        return Kind::unknown;
    return m_display.contains(inode) || m_display.contains(it->second) ? Kind::display : Kind::other;
}

const std::string *SocketLinks::peerName(std::uint64_t inode) const
{
    const auto peer = m_peerOf.find(inode);
    if (peer == m_peerOf.cend() || peer->second == 0)
        return nullptr;
    const auto name = m_nameOf.find(peer->second);
    return name == m_nameOf.cend() ? nullptr : &name->second;
}

std::vector<std::uint64_t> unixTableInodes(std::string_view table)
{
    // "Num RefCount Protocol Flags Type St Inode Path"
    std::vector<std::uint64_t> inodes;
    forEachDataLine(table, [&](const std::vector<std::string_view> &f) {
        if (f.size() >= 7)
            if (const std::optional<std::uint64_t> inode = number<std::uint64_t>(f[6]))
                inodes.push_back(*inode);
    });
    return inodes;
}

std::vector<std::uint64_t> x11TcpInodes(std::string_view table)
{
    // "sl local_address rem_address st tx_queue:rx_queue tr:tm->when retrnsmt uid timeout inode ..."
    std::vector<std::uint64_t> inodes;
    forEachDataLine(table, [&](const std::vector<std::string_view> &f) {
        if (f.size() >= 10 && (isX11Port(f[1]) || isX11Port(f[2])))
            if (const std::optional<std::uint64_t> inode = number<std::uint64_t>(f[9]); inode && *inode != 0)
                inodes.push_back(*inode);
    });
    return inodes;
}

std::vector<std::uint64_t> unplacedSockets(const HeldSockets &held, const std::optional<SocketLinks> &links)
{
    std::vector<std::uint64_t> unplaced;
    if (held.inodes && links)
        for (const std::uint64_t inode : *held.inodes)
            if (links->classify(inode) == SocketLinks::Kind::unknown)
                unplaced.push_back(inode);
    return unplaced;
}

bool talksToDisplayServer(const HeldSockets &held, const std::optional<SocketLinks> &links)
{
    if (!held.inodes)
        return true;
    if (held.inodes->empty())
        return false;
    if (!links)
        return true;
    if (std::any_of(held.inodes->cbegin(), held.inodes->cend(),
                    [&](std::uint64_t inode) { return links->classify(inode) == SocketLinks::Kind::display; }))
        return true;
    const std::vector<std::uint64_t> unplaced = unplacedSockets(held, links);
    if (unplaced.empty())
        return false;
    // A unix socket this namespace's table lacks lives in another network
    // namespace (a sandbox), where its far end cannot be seen.
    if (!held.unixTable)
        return true;
    const std::vector<std::uint64_t> unixSockets = unixTableInodes(*held.unixTable);
    for (const std::string &tcpTable : held.tcpTables) {
        const std::vector<std::uint64_t> x11 = x11TcpInodes(tcpTable);
        if (std::any_of(unplaced.cbegin(), unplaced.cend(), [&](std::uint64_t inode) { return contains(x11, inode); }))
            return true;
    }
    return std::any_of(unplaced.cbegin(), unplaced.cend(),
                       [&](std::uint64_t inode) { return contains(unixSockets, inode); });
}

std::optional<std::size_t> connectionsTo(const HeldSockets &held, const std::optional<SocketLinks> &links,
                                         std::span<const std::string> names)
{
    if (!held.inodes || !links)
        return std::nullopt;
    // A unix socket this namespace's table lacks may lead anywhere.
    if (const std::vector<std::uint64_t> unplaced = unplacedSockets(held, links); !unplaced.empty()) {
        if (!held.unixTable)
            return std::nullopt;
        const std::vector<std::uint64_t> unixSockets = unixTableInodes(*held.unixTable);
        if (std::any_of(unplaced.cbegin(), unplaced.cend(),
                        [&](std::uint64_t inode) { return contains(unixSockets, inode); }))
            return std::nullopt;
    }
    return std::size_t(std::count_if(held.inodes->cbegin(), held.inodes->cend(), [&](std::uint64_t inode) {
        const std::string *name = links->peerName(inode);
        return name && std::find(names.begin(), names.end(), *name) != names.end();
    }));
}

std::optional<SocketLinks> readSocketLinks()
{
    const std::optional<std::vector<platform::UnixSocket>> sockets = platform::listUnixSockets();
    if (!sockets)
        return std::nullopt;
    return SocketLinks(
        *sockets,
        waylandSocketPath(qgetenv("WAYLAND_DISPLAY").toStdString(), qgetenv("XDG_RUNTIME_DIR").toStdString()));
}

HeldSockets readHeldSockets(const std::string &procRoot, std::int32_t pid, const std::optional<SocketLinks> &links)
{
    HeldSockets held;
    held.inodes = platform::socketInodesOf(procRoot, pid);
    if (!unplacedSockets(held, links).empty()) {
        const std::string net = procRoot + '/' + std::to_string(pid) + "/net/";
        held.unixTable = platform::readProcTable(net + "unix");
        for (const char *table : {"tcp", "tcp6"})
            if (std::optional<std::string> text = platform::readProcTable(net + table))
                held.tcpTables.push_back(std::move(*text));
    }
    return held;
}

const std::optional<SocketLinks> &SocketSurvey::links()
{
    if (!std::exchange(m_linksRead, true))
        m_links = readSocketLinks();
    return m_links;
}

const HeldSockets &SocketSurvey::heldBy(std::int32_t pid)
{
    auto it = m_held.find(pid);
    if (it == m_held.end())
        it = m_held.emplace(pid, readHeldSockets(m_procRoot, pid, links())).first;
    return it->second;
}

} // namespace pelmora
