// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>
#include <sys/types.h>
#include <utility>

struct stat;

// The one way this program writes files. A path is walked one name at a time
// through descriptors, so what is checked is what is written: every folder on
// the way belongs to us (the effective user) or root, a symbolic link on the
// way is taken only when it belongs to us or root, and a file is opened for
// writing only after its type and owner were read from a descriptor that
// cannot write (O_PATH). A whole file is written beside its target and then
// renamed (or linked) into place, so it is never seen half written and a link
// at its name is replaced, never written through.
namespace pelmora::safefile {

// Owns a descriptor and closes it.
class Handle {
public:
    Handle() = default;
    explicit Handle(int fd) : m_fd(fd) { }
    Handle(Handle &&other) noexcept : m_fd(std::exchange(other.m_fd, -1)) { }
    Handle &operator=(Handle &&other) noexcept;
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    ~Handle();

    int fd() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }
    int release() { return std::exchange(m_fd, -1); }

private:
    int m_fd = -1;
};

// What stands in the way. `missing` and `failed` are circumstances (they may
// pass); the others are refusals.
enum class Problem {
    none,
    missing, // the file, or a folder on the way, does not exist
    failed, // the system said no (`error` holds errno)
    foreignFolder, // a folder on the way belongs to another user than us or root
    foreignLink, // a symbolic link on the way belongs to another user than us or root
    linkedFolder, // the folder itself is a symbolic link
    foreignFile, // the file belongs to another user
    link, // the file is a symbolic link
    secondName, // the file has other names (hard links)
    notAFile, // a folder, device or socket stands where a file should
};

bool isRefusal(Problem problem);

// One line for the user: why `path` is not used.
QString describe(Problem problem, const QString &path, int error = 0);

struct Opened {
    Handle handle;
    Problem problem = Problem::none;
    int error = 0;
    bool ok() const { return problem == Problem::none; }
};

enum class LastLink { follow, refuse };

// The folder at `path` as an O_PATH descriptor for the *at calls below,
// walked from the root (a relative path from the working folder). With
// `create`, missing folders are made (mode 0700).
Opened openFolder(const QByteArray &path, LastLink lastLink, bool create);

// The entry `name` of `folder` as an O_PATH descriptor that does not follow
// a link, with its status; `missing` when nothing is there.
Opened inspect(int folder, const QByteArray &name, struct stat &status);

// Whether this program may append to what `status` describes: ours, and a
// regular file with one name or a FIFO. Devices and folders are refused.
Problem appendable(const struct stat &status);

// Opens what an O_PATH descriptor names for `flags` (O_WRONLY, ...), the same
// inode whatever happened to its name meanwhile.
Opened reopen(const Handle &path, int flags);

// The whole content of the regular file `name` in `folder` when it holds at
// most `maxBytes`; a link at the name is followed, or with LastLink::refuse
// gives `link`. Anything but a regular file is not even opened.
struct Read {
    std::optional<QByteArray> content;
    Problem problem = Problem::none;
};
Read readFile(int folder, const QByteArray &name, qsizetype maxBytes, LastLink lastLink);

enum class Replace { never, always };
enum class Sync { none, durable };

struct WriteOptions {
    mode_t mode = 0666; // before the umask
    Replace replace = Replace::always; // never: fails with EEXIST when something is there
    Sync sync = Sync::durable; // durable: data and name are on disk on return
};

// Writes `content` as the file `name` of `folder`: a new file beside it
// (created exclusively) that is renamed, or with Replace::never linked, into
// place. On failure nothing is left behind and the old file is unchanged.
// Returns 0 or errno.
int writeFile(int folder, const QByteArray &name, QByteArrayView content, WriteOptions options = {});

// Gives the file `name` of `folder` a second name "<name>.damaged" (or
// "<name>.damaged-2" ...; never replacing anything), so that writing `name`
// anew keeps the old content. The new name, or nothing.
std::optional<QByteArray> keepAside(int folder, const QByteArray &name);

// `path` split into its folder and last name; the name is empty for a path
// that names no file ("", "/", "dir/", "..").
std::pair<QByteArray, QByteArray> splitPath(const QByteArray &path);

} // namespace pelmora::safefile
