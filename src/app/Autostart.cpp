// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Autostart.h"

#include "AppIdentity.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

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

QString enable(const QString &program)
{
    const QString path = entryPath();
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return QStringLiteral("cannot create the folder of ") + path;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(entry(program)) < 0 || !file.commit())
        return QStringLiteral("cannot write ") + path + QStringLiteral(": ") + file.errorString();
    return {};
}

QString disable()
{
    QFile file(entryPath());
    if (file.exists() && !file.remove())
        return QStringLiteral("cannot remove ") + file.fileName() + QStringLiteral(": ") + file.errorString();
    return {};
}

} // namespace pelmora::autostart
