// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ProcFs.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace pelmora::platform {
namespace {

// openat() wants a NUL-terminated path; proc paths are short.
struct RelativePath {
    char text[256];
    bool ok = false;
    explicit RelativePath(std::string_view relative)
    {
        if (relative.size() >= sizeof text || relative.find('\0') != std::string_view::npos)
            return;
        relative.copy(text, relative.size());
        text[relative.size()] = '\0';
        ok = true;
    }
};

} // namespace

ProcRoot::ProcRoot(std::string path)
    : m_path(std::move(path)), m_fd(::open(m_path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
{
}

ProcRoot::~ProcRoot()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

ProcRoot::ProcRoot(ProcRoot &&other) noexcept : m_path(std::move(other.m_path)), m_fd(std::exchange(other.m_fd, -1))
{
}

ProcRoot &ProcRoot::operator=(ProcRoot &&other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_path = std::move(other.m_path);
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

bool ProcRoot::readFile(std::string_view relative, std::string &buffer, std::size_t maxBytes) const
{
    buffer.clear();
    const RelativePath rel(relative);
    if (m_fd < 0 || !rel.ok)
        return false;
    const int fd = ::openat(m_fd, rel.text, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return false;

    // A refresh reads thousands of these files, nearly all far below a page,
    // and the kernel writes each one whole in a single read. So the first
    // read goes to the stack (no zero-filling of a large buffer), and a read
    // that does not fill it is the end of the file: no second read for EOF.
    char first[4096];
    const std::size_t firstSize = std::min(maxBytes, sizeof first);
    ssize_t n;
    do {
        n = ::read(fd, first, firstSize);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        ::close(fd);
        return false;
    }
    buffer.assign(first, std::size_t(n));
    if (std::size_t(n) < firstSize || buffer.size() >= maxBytes) {
        ::close(fd);
        return true;
    }

    // A longer file: read on until the end or `maxBytes`.
    bool ok = true;
    std::size_t used = buffer.size();
    for (;;) {
        if (buffer.size() < used + 4096)
            buffer.resize(std::min(maxBytes, std::max<std::size_t>(used + 4096, buffer.size() * 2)));
        if (used >= buffer.size())
            break; // reached maxBytes
        const ssize_t got = ::read(fd, buffer.data() + used, buffer.size() - used);
        if (got > 0) {
            used += std::size_t(got);
        } else if (got < 0 && errno == EINTR) {
            continue;
        } else {
            ok = got == 0;
            break;
        }
    }
    ::close(fd);
    buffer.resize(used);
    return ok;
}

std::optional<std::string> ProcRoot::readLink(std::string_view relative) const
{
    const RelativePath rel(relative);
    if (m_fd < 0 || !rel.ok)
        return std::nullopt;
    char target[4096];
    const ssize_t n = ::readlinkat(m_fd, rel.text, target, sizeof target);
    if (n <= 0 || std::size_t(n) >= sizeof target)
        return std::nullopt;
    return std::string(target, std::size_t(n));
}

void ProcRoot::forEachPidImpl(PidCallback callback, void *context) const
{
    if (m_fd < 0)
        return;
    const int dirFd = ::openat(m_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return;
    DIR *dir = ::fdopendir(dirFd);
    if (!dir) {
        ::close(dirFd);
        return;
    }
    while (const dirent *entry = ::readdir(dir)) {
        const char *name = entry->d_name;
        if (name[0] < '1' || name[0] > '9')
            continue;
        const std::string_view text(name);
        std::int32_t pid = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), pid);
        if (ec != std::errc() || end != text.data() + text.size() || pid <= 0)
            continue;
        if (!callback(context, pid))
            break;
    }
    ::closedir(dir);
}

} // namespace pelmora::platform
