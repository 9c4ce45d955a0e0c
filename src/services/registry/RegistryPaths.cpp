// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "RegistryPaths.h"

#include <QDir>
#include <QtGlobal>

namespace pelmora {
namespace {

bool isAbsolute(const QString &path)
{
    return path.startsWith(u'/');
}

} // namespace

RegistryPaths RegistryPaths::fromEnvironment()
{
    RegistryPaths paths;
    paths.dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (!isAbsolute(paths.dataHome))
        paths.dataHome = QDir::homePath() + QLatin1String("/.local/share");

    for (const QString &dir : qEnvironmentVariable("XDG_DATA_DIRS").split(u':', Qt::SkipEmptyParts)) {
        if (isAbsolute(dir) && !paths.dataDirs.contains(dir))
            paths.dataDirs.append(dir);
    }
    if (paths.dataDirs.isEmpty())
        paths.dataDirs = {QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share")};

    for (const char *variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QString value = qEnvironmentVariable(variable);
        if (!value.isEmpty()) {
            paths.localeNames = localeLookupOrder(value);
            break;
        }
    }
    return paths;
}

QStringList RegistryPaths::localeLookupOrder(const QString &locale)
{
    QString rest = locale;
    QString modifier;
    const qsizetype at = rest.indexOf(u'@');
    if (at >= 0) {
        modifier = rest.sliced(at + 1);
        rest.truncate(at);
    }
    const qsizetype dot = rest.indexOf(u'.');
    if (dot >= 0)
        rest.truncate(dot);
    QString lang = rest;
    QString country;
    const qsizetype underscore = rest.indexOf(u'_');
    if (underscore >= 0) {
        lang = rest.first(underscore);
        country = rest.sliced(underscore + 1);
    }
    if (lang.isEmpty() || lang == u"C" || lang == u"POSIX")
        return {};

    QStringList order;
    if (!country.isEmpty() && !modifier.isEmpty())
        order.append(lang + u'_' + country + u'@' + modifier);
    if (!country.isEmpty())
        order.append(lang + u'_' + country);
    if (!modifier.isEmpty())
        order.append(lang + u'@' + modifier);
    order.append(lang);
    return order;
}

} // namespace pelmora
