// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ProcessFacts.h"

#include <string_view>

namespace pelmora {
namespace {

// An exe link to a binary replaced on disk reads "/usr/bin/x (deleted)".
std::string withoutDeletedMarker(std::string path)
{
    constexpr std::string_view marker = " (deleted)";
    if (path.size() > marker.size() && std::string_view(path).ends_with(marker))
        path.resize(path.size() - marker.size());
    return path;
}

} // namespace

std::string readExecutablePath(const platform::ProcRoot &root, std::int32_t pid)
{
    std::optional<std::string> exe = root.readLink(std::to_string(pid) + "/exe");
    return exe ? withoutDeletedMarker(*std::move(exe)) : std::string();
}

ProcessFacts readProcessFacts(const platform::ProcRoot &root, std::int32_t pid)
{
    ProcessFacts facts;
    facts.pid = pid;
    const std::string dir = std::to_string(pid) + '/';
    facts.exePath = readExecutablePath(root, pid);

    std::string buffer;
    if (root.readFile(dir + "cmdline", buffer, 4096)) {
        const std::size_t end = buffer.find('\0');
        facts.argv0 = buffer.substr(0, end);
    }
    if (root.readFile(dir + "cgroup", buffer, 16384))
        facts.cgroup = buffer;
    return facts;
}

} // namespace pelmora
