// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

#include <sys/types.h>

#include <functional>

namespace pelmora {

// Who a throw-away session runs as. Run as root (as CI does), it is a user
// made for the session with `useradd` and removed with `userdel` once every
// process of that user has ended (sway, for one, refuses to run as root);
// otherwise it is the user running the test.
class SessionUser {
public:
    SessionUser() = default;
    ~SessionUser();
    SessionUser(const SessionUser &) = delete;
    SessionUser &operator=(const SessionUser &) = delete;

    // Makes the user when running as root; false (with errorString) when useradd fails.
    bool create(const QString &home);
    // Ends what is left of the user's processes (by PID) and removes the user.
    void remove();

    bool isOwnUser() const { return m_name.isEmpty(); }
    uid_t uid() const { return m_uid; }
    gid_t gid() const { return m_gid; }
    QString errorString() const { return m_error; }
    // Gives `path` (and what is in it) to the user.
    bool own(const QString &path) const;
    // For QProcess::setChildProcessModifier: become the user before the program starts.
    std::function<void()> becomeUser() const;

private:
    QString m_name;
    uid_t m_uid = 0;
    gid_t m_gid = 0;
    QString m_error;
};

} // namespace pelmora
