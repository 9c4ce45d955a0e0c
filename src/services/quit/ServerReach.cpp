// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ServerReach.h"

#include <charconv>
#include <string>

namespace pelmora {

std::optional<std::size_t> pidNamespaceDepth(std::string_view status)
{
    constexpr std::string_view keyOnNewLine = "\nNSpid:", key = keyOnNewLine.substr(1);
    std::size_t at = status.starts_with(key) ? 0 : status.find(keyOnNewLine);
    if (at == std::string_view::npos)
        return std::nullopt;
    at += status[at] == '\n' ? key.size() + 1 : key.size();
    const std::string_view line = status.substr(at, status.find('\n', at) - at);
    std::size_t depth = 0;
    for (std::size_t i = 0; i < line.size();) {
        if (line[i] == '\t' || line[i] == ' ') {
            ++i;
            continue;
        }
        std::uint32_t pid = 0;
        const auto [end, error] = std::from_chars(line.data() + i, line.data() + line.size(), pid);
        if (error != std::errc() || (end != line.data() + line.size() && *end != '\t' && *end != ' '))
            return std::nullopt;
        ++depth;
        i = std::size_t(end - line.data());
    }
    return depth > 0 ? std::optional(depth) : std::nullopt;
}

bool sharesPidNamespace(std::optional<std::int32_t> serverPid, std::optional<std::size_t> ownDepth,
                        std::optional<std::size_t> serverDepth)
{
    // Seen from here, the server is in our namespace or one below it; the
    // same depth leaves only ours.
    return serverPid && *serverPid > 0 && ownDepth && serverDepth && *ownDepth == *serverDepth;
}

bool sharesPidNamespace(const platform::ProcRoot &root, std::optional<std::int32_t> serverPid)
{
    if (!serverPid || *serverPid <= 0)
        return false;
    std::string own, server;
    if (!root.readFile("self/status", own, 16384)
        || !root.readFile(std::to_string(*serverPid) + "/status", server, 16384))
        return false;
    return sharesPidNamespace(serverPid, pidNamespaceDepth(own), pidNamespaceDepth(server));
}

} // namespace pelmora
