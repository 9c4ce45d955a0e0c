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
    struct stat st { };
    if (written > 0 && ::fstat(fd, &st) == 0 && st.st_size == sizeBefore + written) {
        // Should the cut fail too, nothing more can be done: the line is lost either way.
        [[maybe_unused]] const int cut = ::ftruncate(fd, sizeBefore);
    }
    return false;
}

// Appends to what is open at `fd`: a regular file, or a FIFO, which takes a
// line of at most PIPE_BUF bytes whole or not at all, without blocking
// (O_NONBLOCK).
bool appendToOpen(int fd, const QByteArray &line)
{
    struct stat st { };
    if (::fstat(fd, &st) != 0)
        return false;
    if (S_ISREG(st.st_mode))
        return writeWholeLine(fd, line, st.st_size);
    return S_ISFIFO(st.st_mode) && line.size() <= PIPE_BUF
        && ::write(fd, line.constData(), size_t(line.size())) == line.size();
}

Appended refusal(safefile::Problem problem)
{
    return {safefile::isRefusal(problem) ? Appended::refused : Appended::dropped, problem};
}

// What stands at `name` is looked at through an O_PATH descriptor, and only
// what may take the line is opened for writing, through that descriptor.
Appended appendToExisting(int folder, const QByteArray &name, const QByteArray &line)
{
    struct stat status { };
    const safefile::Opened entry = safefile::inspect(folder, name, status);
    if (!entry.ok())
        return refusal(entry.problem);
    if (const safefile::Problem problem = safefile::appendable(status); problem != safefile::Problem::none)
        return refusal(problem);
    const safefile::Opened file = safefile::reopen(entry.handle, O_WRONLY | O_APPEND | O_NONBLOCK);
    if (!file.ok())
        return refusal(file.problem); // read-only, or a FIFO nobody reads (ENXIO)
    return {appendToOpen(file.handle.fd(), line) ? Appended::written : Appended::dropped, safefile::Problem::none};
}

} // namespace

std::optional<QString> resolvePath(const std::optional<QByteArray> &environmentValue, const QStringList &arguments)
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
        const QStringList arguments = QCoreApplication::instance() ? QCoreApplication::arguments() : QStringList();
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

Appended appendLine(const QString &filePath, const QByteArray &line)
{
    const auto [folderPath, name] = safefile::splitPath(QFile::encodeName(filePath));
    if (name.isEmpty())
        return refusal(filePath.isEmpty() ? safefile::Problem::missing : safefile::Problem::notAFile);
    const safefile::Opened folder = safefile::openFolder(folderPath, safefile::LastLink::follow, false);
    if (!folder.ok())
        return refusal(folder.problem);
    const Appended appended = appendToExisting(folder.handle.fd(), name, line);
    if (appended.problem != safefile::Problem::missing)
        return appended;
    // A new trail, private to the user; the line is its whole first content.
    const int error = safefile::writeFile(folder.handle.fd(), name, line,
                                          {.mode = 0600, .replace = safefile::Replace::never});
    if (error == EEXIST) // made by someone else meanwhile
        return appendToExisting(folder.handle.fd(), name, line);
    return {error == 0 ? Appended::written : Appended::dropped, safefile::Problem::none};
}

QString refusalMessage(const QString &filePath, safefile::Problem problem)
{
    return QCoreApplication::translate("RuntimeProbe", "the diagnostic trail is off: %1.")
        .arg(safefile::describe(problem, filePath));
}

void append(const Fields &fields)
{
    static bool refused = false; // main thread only, as every probe write
    const std::optional<QString> &file = path();
    if (!file || refused)
        return;
    const Appended appended = appendLine(*file, formatLine(fields));
    if (appended.outcome == Appended::refused) {
        refused = true;
        std::fprintf(stderr, "pelmora: %s\n", qPrintable(refusalMessage(*file, appended.problem)));
    }
}

} // namespace pelmora::RuntimeProbe
