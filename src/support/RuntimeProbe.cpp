// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "RuntimeProbe.h"

#include <QCoreApplication>
#include <QFile>
#include <QtGlobal>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace pelmora::RuntimeProbe {
namespace {

constexpr const char *environmentVariable = "PELMORA_METRICS_PROBE_PATH";

bool writeAll(int fd, const QByteArray &data)
{
    const char *p = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        left -= n;
    }
    return true;
}

// O_APPEND positions every write at the current end of the file.
void appendToExisting(const std::string &file, const QByteArray &line)
{
    const int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return;
    struct stat st {};
    // Only regular files and character devices (e.g. /dev/null) take lines.
    if (::fstat(fd, &st) == 0 && (S_ISREG(st.st_mode) || S_ISCHR(st.st_mode)))
        writeAll(fd, line);
    ::close(fd);
}

// Writes the line to a temporary file beside the target, then moves it into
// place without replacing anything that appeared there in the meantime.
// Returns false when the target turned out to exist.
bool createAtomically(const std::string &file, const QByteArray &line)
{
    std::string temp = file + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return true; // folder missing or not writable: the line is dropped
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    const bool written = writeAll(fd, line) && ::fsync(fd) == 0;
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
    // A file system without hard links: an exclusive create still never replaces.
    const int direct = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (direct < 0)
        return errno != EEXIST;
    writeAll(direct, line);
    ::close(direct);
    return true;
}

} // namespace

std::optional<QString> resolvePath(const std::optional<QByteArray> &environmentValue,
                                   const QStringList &arguments)
{
    if (environmentValue)
        return QFile::decodeName(*environmentValue);
    const qsizetype flag = arguments.indexOf(QStringLiteral("--metrics-probe"));
    if (flag >= 0 && flag + 1 < arguments.size())
        return arguments.at(flag + 1);
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
    std::array<char, 64> buffer{};
    const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    if (ec != std::errc())
        return QStringLiteral("0.0");
    QString text = QString::fromLatin1(buffer.data(), end - buffer.data());
    const bool plainInteger = std::all_of(buffer.data(), end, [](char c) {
        return (c >= '0' && c <= '9') || c == '-';
    });
    if (plainInteger)
        text += QLatin1StringView(".0");
    return text;
}

void appendLine(const QString &filePath, const QByteArray &line)
{
    if (filePath.isEmpty())
        return;
    const std::string file = QFile::encodeName(filePath).toStdString();
    struct stat st {};
    if (::stat(file.c_str(), &st) == 0) {
        appendToExisting(file, line);
        return;
    }
    if (errno != ENOENT)
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
