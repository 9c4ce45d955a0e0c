// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Autostart.h"

#include "AppIdentity.h"
#include "support/SafeFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace pelmora::autostart {

QString entryPath()
{
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || QDir::isRelativePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/autostart/pelmora.desktop");
}

QString execArgument(const QString &program)
{
    // Characters that force quoting, and those escaped inside the quotes
    // (Desktop Entry Specification, "The Exec key").
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    static const QString escapedInQuotes = QStringLiteral("\"`$\\");
    QString argument;
    const bool quoted = std::any_of(program.cbegin(), program.cend(), [](QChar c) { return reserved.contains(c); });
    for (QChar c : program) {
        if (quoted && escapedInQuotes.contains(c))
            argument += u'\\';
        argument += c;
    }
    if (quoted)
        argument = u'"' + argument + u'"';
    argument.replace(u'%', QStringLiteral("%%"));
    // Exec is a string value, whose own escape is the backslash.
    argument.replace(u'\\', QStringLiteral("\\\\"));
    return argument;
}

QByteArray entry(const QString &program)
{
    const QString text = QStringLiteral("[Desktop Entry]\n"
                                        "Type=Application\n"
                                        "Name=Pelmora\n"
                                        "Comment=CPU and memory use in the panel\n"
                                        "Exec=%1\n"
                                        "Icon=%2\n"
                                        "Terminal=false\n"
                                        "X-GNOME-Autostart-enabled=true\n")
                             .arg(execArgument(program), QLatin1String(appId));
    return text.toUtf8();
}

QString thisProgram()
{
    const QString self = QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath();
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("pelmora"));
    if (!onPath.isEmpty() && QFileInfo(onPath).canonicalFilePath() == self)
        return QStringLiteral("pelmora");
    return self;
}

namespace {

QString cannot(const char *what, const QString &path, const QString &why)
{
    return QCoreApplication::translate("Autostart", what).arg(path, why);
}

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

Outcome enable(const QString &program)
{
    const QString path = entryPath();
    const auto [folderPath, name] = safefile::splitPath(QFile::encodeName(path));
    const safefile::Opened folder = safefile::openFolder(folderPath, safefile::LastLink::refuse, true);
    if (!folder.ok())
        return {cannot(QT_TRANSLATE_NOOP("Autostart", "cannot write %1: %2"), path,
                       safefile::describe(folder.problem, QFile::decodeName(folderPath), folder.error))};
    if (const int error = safefile::writeFile(folder.handle.fd(), name, entry(program)))
        return {cannot(QT_TRANSLATE_NOOP("Autostart", "cannot write %1: %2"), path, systemError(error))};
    return {};
}

Outcome disable()
{
    const QString path = entryPath();
    const auto [folderPath, name] = safefile::splitPath(QFile::encodeName(path));
    const safefile::Opened folder = safefile::openFolder(folderPath, safefile::LastLink::refuse, false);
    if (folder.problem == safefile::Problem::missing)
        return {QString(), false};
    if (!folder.ok())
        return {cannot(QT_TRANSLATE_NOOP("Autostart", "cannot remove %1: %2"), path,
                       safefile::describe(folder.problem, QFile::decodeName(folderPath), folder.error))};
    if (::unlinkat(folder.handle.fd(), name.constData(), 0) == 0)
        return {};
    if (errno == ENOENT)
        return {QString(), false};
    return {cannot(QT_TRANSLATE_NOOP("Autostart", "cannot remove %1: %2"), path, systemError(errno))};
}

} // namespace pelmora::autostart
