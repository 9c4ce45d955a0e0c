// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QRect>
#include <QString>

#include <optional>

// What Pelmora reads from, and says to, sway over its IPC socket.
namespace pelmora::sway {

// The focused workspace's area in a get_workspaces reply: its output less
// what bars reserve. Nothing for a reply without one.
std::optional<QRect> focusedWorkspaceArea(const QByteArray &workspaces);

// Whether a run_command reply reports every command done.
bool commandsSucceeded(const QByteArray &reply);

// Criteria that match the one window of process `pid` whose title begins
// with `title` (Qt adds the application's name), Wayland or XWayland.
QString criteria(qint64 pid, const QString &title);

// A regular expression that matches `text` literally, at the start of a string,
// and only as a whole string when `whole`.
QString literalPattern(const QString &text, bool whole = true);

} // namespace pelmora::sway
