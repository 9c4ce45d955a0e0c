// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

// One desktop file (freedesktop Desktop Entry Specification), reduced to what
// naming a running application needs. Only the [Desktop Entry] group is read;
// nothing in it is ever executed.
namespace pelmora {

struct DesktopEntry {
    QString type;
    QString name; // the plain Name
    QHash<QString, QString> localizedNames; // Name[<locale>] by <locale>, as written
    QString exec; // escapes undone, quoting kept
    QString tryExec;
    QString startupWMClass; // the class (or Wayland app_id) its windows carry
    bool hidden = false;
    bool noDisplay = false;

    bool isApplication() const { return type == QLatin1String("Application"); }

    // Name in the first of `localeNames` that has one, else Name; empty when
    // the entry has neither.
    QString displayName(const QStringList &localeNames) const;
};

// Parses the bytes of a desktop file. Tolerant of comments, blank lines,
// CR LF, spaces around '=', keys outside any group and other groups; the
// first of duplicated keys counts. Nothing for binary content (NUL bytes),
// invalid UTF-8 or a file without a [Desktop Entry] group.
std::optional<DesktopEntry> parseDesktopEntry(QByteArrayView content);

// The program an Exec value runs: its first word after any `env` (with its
// options) and VAR=value assignments, unquoted by the Desktop Entry
// Specification's rules for Exec. Empty when there is none.
QString execProgram(const QString &exec);

} // namespace pelmora
