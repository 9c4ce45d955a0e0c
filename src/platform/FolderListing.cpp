// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "FolderListing.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pelmora::platform {
namespace {

FolderEntry::Kind kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return FolderEntry::Kind::folder;
    if (S_ISREG(mode))
        return FolderEntry::Kind::file;
    if (S_ISLNK(mode))
        return FolderEntry::Kind::link;
    return FolderEntry::Kind::other;
}

} // namespace

std::vector<FolderEntry> listFolder(const std::string &path)
{
    std::vector<FolderEntry> entries;
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return entries;
    DIR *dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return entries;
    }
    while (const dirent *entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        FolderEntry::Kind kind = FolderEntry::Kind::other;
        switch (entry->d_type) {
        case DT_DIR:
            kind = FolderEntry::Kind::folder;
            break;
        case DT_REG:
            kind = FolderEntry::Kind::file;
            break;
        case DT_LNK:
            kind = FolderEntry::Kind::link;
            break;
        case DT_UNKNOWN: {
            struct stat info { };
            if (::fstatat(::dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0)
                kind = kindOf(info.st_mode);
            break;
        }
        default:
            break;
        }
        entries.push_back({std::string(name), kind});
    }
    ::closedir(dir);
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry &a, const FolderEntry &b) { return a.name < b.name; });
    return entries;
}

std::optional<FileNode> fileNode(const std::string &path)
{
    struct stat info { };
    if (::stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return FileNode{std::uint64_t(info.st_dev), std::uint64_t(info.st_ino), S_ISDIR(info.st_mode),
                    S_ISREG(info.st_mode)};
}

std::string resolvedPath(const std::string &path)
{
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

} // namespace pelmora::platform
