// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

// The sway compositor's IPC socket ($SWAYSOCK), which speaks i3's protocol:
// a message is the magic "i3-ipc", the payload's length and the message type
// (32-bit, host byte order), then the payload (a command, or JSON). One
// request gets one reply of the same type.
namespace pelmora::platform {

enum class SwayMessage : std::uint32_t { runCommand = 0, getWorkspaces = 1, getOutputs = 3, getTree = 4 };

QByteArray encodeSwayMessage(SwayMessage type, const QByteArray &payload);

// The payload of the reply at the start of `buffer` when it is complete and
// of `type`; nothing for a short, foreign or oversized reply.
std::optional<QByteArray> decodeSwayReply(const QByteArray &buffer, SwayMessage type);

// Sends one message to the socket at `socketPath` and waits at most
// `timeoutMs` for the whole reply; nothing when the socket cannot be reached
// or answers late or garbled. Sway answers at once, so this blocks briefly.
std::optional<QByteArray> swayRequest(const QString &socketPath, SwayMessage type, const QByteArray &payload,
                                      int timeoutMs = 500);

} // namespace pelmora::platform
