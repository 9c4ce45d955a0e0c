// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "RuntimeProbe.h"

#include "WholeWrite.h"

#include <QCoreApplication>
#include <QFile>
#include <QtGlobal>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace pelmora::RuntimeProbe {
namespace {

constexpr const char *environmentVariable = "PELMORA_METRICS_PROBE_PATH";
constexpr QLatin1StringView option("--metrics-probe");

// Writes all of `data`; on a short write that cannot be completed (a full
// disk), cuts the file back to `sizeBefore` so that no fragment is left for
// the next line to glue onto, unless someone else appended meanwhile.
bool writeWholeLine(int fd, const QByteArray &data, off_t sizeBefore)
{
    const qsizetype written = writeWhole(fd, data);
    if (written == data.size())
        return true;
    struct stat st {};
    if (written > 0 && ::fstat(fd, &st) == 0 && st.st_size == sizeBefore + written)
        ::ftruncate(fd, sizeBefore);
    return false;
}

// Appends to what is open at `fd`: a regular file with no other name (a hard
// link planted where the trail goes would lead elsewhere), or a FIFO, which
// takes a line of at most PIPE_BUF bytes whole or not at all, without
// blocking (O_NONBLOCK).
void appendToOpen(int fd, const QByteArray &line)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return;
    if (S_ISREG(st.st_mode) && st.st_nlink == 1)
        writeWholeLine(fd, line, st.st_size);
    else if (S_ISFIFO(st.st_mode) && line.size() <= PIPE_BUF)
        (void)::write(fd, line.constData(), size_t(line.size()));
}

enum class Opened { appended, missing, refused };

// O_NOFOLLOW: a link at the path, planted or not, is never written through.
Opened appendToExisting(const std::string &file, const QByteArray &line)
{
    const int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return errno == ENOENT ? Opened::missing : Opened::refused;
    appendToOpen(fd, line);
    ::close(fd);
    return Opened::appended;
}

// Writes the line to a private temporary file beside the target (mode 0600,
// as the trail keeps it), then links it into place, which never replaces or
// follows anything that appeared there meanwhile. Returns false when the
// target turned out to exist.
bool createAtomically(const std::string &file, const QByteArray &line)
{
    std::string temp = file + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return true; // folder missing or not writable: the line is dropped
    const bool written = writeWholeLine(fd, line, 0) && ::fsync(fd) == 0;
    ::close(fd);
    if (!written) {
        ::unlink(temp.c_str());
        return true;
    }
    // link(2) fails with EEXIST instead of replacing, unlike rename(2).
    const int linked = ::link(temp.c_str(), file.c_str());
    const int linkError = errno;
    ::unlink(temp.c_str());
    if (linked == 0)
        return true;
    if (linkError == EEXIST)
        return false;
    // A file system without hard links: an exclusive create still never
    // replaces or follows.
    const int direct = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (direct < 0)
        return errno != EEXIST;
    writeWholeLine(direct, line, 0);
    ::close(direct);
    return true;
}

} // namespace

std::optional<QString> resolvePath(const std::optional<QByteArray> &environmentValue,
                                   const QStringList &arguments)
{
    if (environmentValue)
        return QFile::decodeName(*environmentValue);
    // The first "--metrics-probe PATH" or "--metrics-probe=PATH"; the option
    // as the last argument leaves the trail off. After "--" nothing is an option.
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == u"--")
            break;
        if (argument == option)
            return i + 1 < arguments.size() ? std::optional(arguments.at(i + 1)) : std::nullopt;
        if (argument.startsWith(option) && argument.at(option.size()) == u'=')
            return argument.sliced(option.size() + 1);
    }
    return std::nullopt;
}

const std::optional<QString> &path()
{
    static const std::optional<QString> resolved = [] {
        std::optional<QByteArray> variable;
        if (qEnvironmentVariableIsSet(environmentVariable))
            variable = qgetenv(environmentVariable);
        const QStringList arguments =
            QCoreApplication::instance() ? QCoreApplication::arguments() : QStringList();
        return resolvePath(variable, arguments);
    }();
    return resolved;
}

QByteArray formatLine(const Fields &fields)
{
    std::vector<QByteArray> pairs;
    pairs.reserve(fields.size());
    for (const auto &[key, value] : fields)
        pairs.push_back('"' + key.toUtf8() + "\":\"" + value.toUtf8() + '"');
    std::sort(pairs.begin(), pairs.end()); // bytewise: code point order for UTF-8
    QByteArray line = "{";
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        if (i)
            line += ',';
        line += pairs[i];
    }
    line += "}\n";
    return line;
}

QString formatNumber(double value)
{
    // Fixed notation, never an exponent: the shortest digits that read back
    // as the same double, which for a denormal is over 300 characters.
    std::array<char, 512> buffer{};
    const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed);
    if (ec != std::errc())
        return QStringLiteral("0.0");
    QString text = QString::fromLatin1(buffer.data(), end - buffer.data());
    if (std::isfinite(value) && !text.contains(u'.'))
        text += QLatin1StringView(".0");
    return text;
}

void appendLine(const QString &filePath, const QByteArray &line)
{
    if (filePath.isEmpty())
        return;
    const std::string file = QFile::encodeName(filePath).toStdString();
    if (appendToExisting(file, line) != Opened::missing)
        return;
    if (!createAtomically(file, line))
        appendToExisting(file, line); // created by someone else meanwhile
}

void append(const Fields &fields)
{
    const std::optional<QString> &file = path();
    if (!file)
        return;
    appendLine(*file, formatLine(fields));
}

} // namespace pelmora::RuntimeProbe
