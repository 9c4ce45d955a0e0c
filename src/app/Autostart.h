// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

namespace pelmora {

// Starting with the desktop session, as XDG Autostart defines it: a desktop
// entry named pelmora.desktop in $XDG_CONFIG_HOME/autostart (~/.config/autostart
// when the variable is unset, empty or not an absolute path).
namespace autostart {

QString entryPath();

// `program` as one argument of an Exec key, escaped for the desktop entry
// file: quoted when it holds a reserved character, '%' doubled.
QString execArgument(const QString &program);

// The whole entry that starts `program`.
QByteArray entry(const QString &program);

// How this program is best started: "pelmora" when that name on PATH is this
// very file, its absolute path otherwise (a build tree, /opt, ...).
QString thisProgram();

// What a switch did: `error` is empty on success; `changed` is false when
// there was no entry to remove.
struct Outcome {
    QString error;
    bool changed = true;
};

// Writes the entry (whole, replacing an older one) or removes it. The
// autostart folder is made when missing; one that is a symbolic link, or on a
// path that is not the user's, is refused (see SafeFile).
Outcome enable(const QString &program);
Outcome disable();

} // namespace autostart
} // namespace pelmora
