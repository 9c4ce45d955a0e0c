// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <QStringList>

// Where the application registry looks for desktop files and which locale
// names it prefers, as the freedesktop Base Directory and Desktop Entry
// specifications define them. Tests build their own; the program uses
// fromEnvironment().
namespace pelmora {

struct RegistryPaths {
    QString dataHome; // $XDG_DATA_HOME, searched first
    QStringList dataDirs; // $XDG_DATA_DIRS, in order
    QStringList localeNames; // Name[...] keys to try, most specific first

    // XDG_DATA_HOME (default ~/.local/share), XDG_DATA_DIRS (default
    // /usr/local/share:/usr/share; relative entries ignored as the Base
    // Directory specification asks) and the first non-empty of LC_ALL,
    // LC_MESSAGES and LANG.
    static RegistryPaths fromEnvironment();

    // The lookup order for a POSIX locale value "lang_COUNTRY.ENCODING@MODIFIER":
    // lang_COUNTRY@MODIFIER, lang_COUNTRY, lang@MODIFIER, lang (the encoding is
    // ignored, missing parts are left out). Empty for "C", "POSIX" and "".
    static QStringList localeLookupOrder(const QString &locale);
};

} // namespace pelmora
