// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Walking a folder tree that anyone may have filled: entries are listed
// without following links, so the caller decides which links to follow.
namespace pelmora::platform {

struct FolderEntry {
    enum class Kind { folder, file, link, other };
    std::string name;
    Kind kind = Kind::other;
};

// The entries of the folder at `path`, without "." and "..", sorted by their
// bytes; empty when it cannot be read. The kind is the entry's own (a link
// is a link), from the listing or, where the file system leaves it out,
// lstat(2).
std::vector<FolderEntry> listFolder(const std::string &path);

// What stat(2), following links, says identifies a file and its kind.
struct FileNode {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool isFolder = false;
    bool isRegularFile = false;

    bool sameNode(const FileNode &other) const noexcept { return device == other.device && inode == other.inode; }
};
std::optional<FileNode> fileNode(const std::string &path);

// The path with every link and "." or ".." resolved (realpath(3)); empty when
// some part of it does not exist.
std::string resolvedPath(const std::string &path);

} // namespace pelmora::platform
