// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SafeFile.h"

#include "WholeWrite.h"
#include "platform/SmallFile.h"

#include <QCoreApplication>
#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace pelmora::safefile {
namespace {

constexpr int maxLinks = 40; // as the kernel allows in one path
constexpr int maxAttempts = 100;

Opened refused(Problem problem, int error = 0)
{
    return Opened{Handle(), problem, error};
}

Opened failedWith(int error)
{
    return refused(error == ENOENT ? Problem::missing : Problem::failed, error);
}

bool ownedByUsOrRoot(const struct stat &status)
{
    return status.st_uid == ::geteuid() || status.st_uid == 0;
}

// The names of `path` in reverse order, so that the next one is at the back.
void pushNames(std::vector<QByteArray> &pending, const QByteArray &path)
{
    const QList<QByteArray> names = path.split('/');
    for (auto it = names.crbegin(); it != names.crend(); ++it)
        if (!it->isEmpty() && *it != ".")
            pending.push_back(*it);
}

QByteArray linkTarget(int link)
{
    QByteArray target(PATH_MAX, Qt::Uninitialized);
    const ssize_t n = ::readlinkat(link, "", target.data(), std::size_t(target.size()));
    if (n <= 0 || n >= target.size())
        return {};
    target.truncate(qsizetype(n));
    return target;
}

Handle openRoot()
{
    return Handle(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
}

QByteArray randomSuffix()
{
    static constexpr char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray suffix(7, '.');
    for (qsizetype i = 1; i < suffix.size(); ++i)
        suffix[i] = letters[QRandomGenerator::global()->bounded(int(sizeof letters - 1))];
    return suffix;
}

// A new file beside `name`, created exclusively so that nothing there is
// followed or reused.
std::pair<Handle, QByteArray> createTemporary(int folder, const QByteArray &name, mode_t mode)
{
    for (int attempt = 0; attempt < maxAttempts; ++attempt) {
        QByteArray temp = name + randomSuffix();
        const int fd = ::openat(folder, temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0)
            return {Handle(fd), std::move(temp)};
        if (errno != EEXIST)
            break;
    }
    return {};
}

int syncFolder(int folder)
{
    const Handle readable(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return readable.isOpen() && ::fsync(readable.fd()) == 0 ? 0 : errno;
}

// Where hard links do not exist, an exclusive create still never replaces
// or follows anything.
int createExclusively(int folder, const QByteArray &name, QByteArrayView content, mode_t mode)
{
    const Handle file(::openat(folder, name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
    if (!file.isOpen())
        return errno;
    errno = 0;
    if (writeWhole(file.fd(), content) == content.size())
        return 0;
    const int error = errno ? errno : ENOSPC;
    ::unlinkat(folder, name.constData(), 0);
    return error;
}

} // namespace

Handle &Handle::operator=(Handle &&other) noexcept
{
    Handle old(std::exchange(m_fd, other.release())); // closes what was held
    return *this;
}

Handle::~Handle()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool isRefusal(Problem problem)
{
    return problem != Problem::none && problem != Problem::missing && problem != Problem::failed;
}

QString describe(Problem problem, const QString &path, int error)
{
    switch (problem) {
    case Problem::none:
        break;
    case Problem::missing:
        return QCoreApplication::translate("SafeFile", "%1 does not exist").arg(path);
    case Problem::failed:
        return path + QLatin1String(": ") + QString::fromLocal8Bit(std::strerror(error));
    case Problem::foreignFolder:
        return QCoreApplication::translate("SafeFile", "a folder on the way to %1 belongs to another user").arg(path);
    case Problem::foreignLink:
        return QCoreApplication::translate("SafeFile", "a symbolic link on the way to %1 belongs to another user")
            .arg(path);
    case Problem::linkedFolder:
    case Problem::link:
        return QCoreApplication::translate("SafeFile", "%1 is a symbolic link").arg(path);
    case Problem::foreignFile:
        return QCoreApplication::translate("SafeFile", "%1 belongs to another user").arg(path);
    case Problem::secondName:
        return QCoreApplication::translate("SafeFile", "%1 has other names (hard links)").arg(path);
    case Problem::notAFile:
        return QCoreApplication::translate("SafeFile", "%1 is not a regular file").arg(path);
    }
    return {};
}

Opened openFolder(const QByteArray &path, LastLink lastLink, bool create)
{
    QByteArray full = path;
    if (!full.startsWith('/')) {
        char *cwd = ::getcwd(nullptr, 0);
        if (!cwd)
            return failedWith(errno);
        full = QByteArray(cwd) + '/' + full;
        std::free(cwd);
    }
    std::vector<QByteArray> pending;
    pushNames(pending, full);
    // The root folder is taken as it is: whoever owns it owns the system.
    Handle here = openRoot();
    int links = 0;
    int creations = 0;
    while (here.isOpen() && !pending.empty()) {
        const QByteArray name = std::move(pending.back());
        pending.pop_back();
        Handle next(::openat(here.fd(), name.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        if (!next.isOpen()) {
            if (errno != ENOENT || !create || name == ".." || ++creations > maxAttempts)
                return failedWith(errno);
            if (::mkdirat(here.fd(), name.constData(), 0700) != 0 && errno != EEXIST)
                return failedWith(errno);
            pending.push_back(name); // opened, and checked, like any other
            continue;
        }
        struct stat status { };
        if (::fstat(next.fd(), &status) != 0)
            return failedWith(errno);
        if (S_ISLNK(status.st_mode)) {
            if (pending.empty() && lastLink == LastLink::refuse)
                return refused(Problem::linkedFolder);
            if (!ownedByUsOrRoot(status))
                return refused(Problem::foreignLink);
            const QByteArray target = linkTarget(next.fd());
            if (++links > maxLinks || target.isEmpty())
                return failedWith(ELOOP);
            pushNames(pending, target);
            if (target.startsWith('/'))
                here = openRoot();
            continue;
        }
        if (!S_ISDIR(status.st_mode))
            return refused(Problem::notAFile, ENOTDIR);
        if (!ownedByUsOrRoot(status))
            return refused(Problem::foreignFolder);
        here = std::move(next);
    }
    if (!here.isOpen())
        return failedWith(errno);
    return Opened{std::move(here)};
}

Opened inspect(int folder, const QByteArray &name, struct stat &status)
{
    Handle entry(::openat(folder, name.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    if (!entry.isOpen())
        return failedWith(errno);
    if (::fstat(entry.fd(), &status) != 0)
        return failedWith(errno);
    return Opened{std::move(entry)};
}

Problem appendable(const struct stat &status)
{
    if (S_ISLNK(status.st_mode))
        return Problem::link;
    if (status.st_uid != ::geteuid())
        return Problem::foreignFile;
    if (S_ISREG(status.st_mode))
        return status.st_nlink == 1 ? Problem::none : Problem::secondName;
    return S_ISFIFO(status.st_mode) ? Problem::none : Problem::notAFile;
}

Opened reopen(const Handle &path, int flags)
{
    const QByteArray proc = "/proc/self/fd/" + QByteArray::number(path.fd());
    Handle opened(::open(proc.constData(), flags | O_CLOEXEC | O_NOCTTY));
    if (!opened.isOpen())
        return failedWith(errno);
    struct stat was {
    }, is{};
    if (::fstat(path.fd(), &was) != 0 || ::fstat(opened.fd(), &is) != 0)
        return failedWith(errno);
    if (was.st_dev != is.st_dev || was.st_ino != is.st_ino)
        return failedWith(ESTALE);
    return Opened{std::move(opened)};
}

Read readFile(int folder, const QByteArray &name, qsizetype maxBytes, LastLink lastLink)
{
    struct stat status { };
    Opened entry = inspect(folder, name, status);
    if (entry.ok() && S_ISLNK(status.st_mode) && lastLink == LastLink::follow) {
        entry = Opened{Handle(::openat(folder, name.constData(), O_PATH | O_CLOEXEC))};
        if (!entry.handle.isOpen() || ::fstat(entry.handle.fd(), &status) != 0)
            entry = failedWith(errno);
    }
    if (!entry.ok())
        return {std::nullopt, entry.problem};
    if (S_ISLNK(status.st_mode))
        return {std::nullopt, Problem::link};
    if (!S_ISREG(status.st_mode))
        return {std::nullopt, Problem::notAFile}; // a FIFO or device is not even opened
    const Opened file = reopen(entry.handle, O_RDONLY | O_NONBLOCK);
    if (!file.ok())
        return {std::nullopt, file.problem};
    std::optional<QByteArray> content = platform::readSmallRegularFile(file.handle.fd(), maxBytes);
    return {content, content ? Problem::none : Problem::notAFile};
}

int writeFile(int folder, const QByteArray &name, QByteArrayView content, WriteOptions options)
{
    auto [file, temp] = createTemporary(folder, name, options.mode);
    if (!file.isOpen())
        return errno ? errno : EEXIST;
    int error = 0;
    errno = 0;
    if (writeWhole(file.fd(), content) != content.size())
        error = errno ? errno : ENOSPC;
    else if (options.sync == Sync::durable && ::fsync(file.fd()) != 0)
        error = errno;
    // Closed before it takes the name; a late write error shows here.
    if (::close(file.release()) != 0 && error == 0)
        error = errno;
    if (error == 0) {
        if (options.replace == Replace::always) {
            if (::renameat(folder, temp.constData(), folder, name.constData()) != 0)
                error = errno;
        } else {
            // linkat(2) fails with EEXIST instead of replacing, unlike rename.
            if (::linkat(folder, temp.constData(), folder, name.constData(), 0) != 0)
                error = errno;
            if (error == EPERM || error == EOPNOTSUPP)
                error = createExclusively(folder, name, content, options.mode);
        }
    }
    if (error != 0 || options.replace == Replace::never)
        ::unlinkat(folder, temp.constData(), 0);
    if (error == 0 && options.sync == Sync::durable)
        error = syncFolder(folder);
    return error;
}

std::optional<QByteArray> keepAside(int folder, const QByteArray &name)
{
    for (int i = 1; i < 10; ++i) {
        const QByteArray aside = name + ".damaged" + (i > 1 ? "-" + QByteArray::number(i) : QByteArray());
        if (::linkat(folder, name.constData(), folder, aside.constData(), 0) == 0)
            return aside;
        if (errno != EEXIST)
            break;
    }
    return std::nullopt;
}

std::pair<QByteArray, QByteArray> splitPath(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.first(slash);
    QByteArray name = path.sliced(slash + 1);
    if (name == "." || name == "..")
        name.clear();
    return {std::move(folder), std::move(name)};
}

} // namespace pelmora::safefile
