// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

#include <sys/types.h>

// A throw-away system account for tests that run as root (useradd, with no
// shell, and no home made: `home` names one that exists, if any), removed
// again (userdel) with the object. Invalid when not root or when the account
// could not be made.
class OtherUser {
public:
    explicit OtherUser(const QString &purpose, const QString &home = {});
    ~OtherUser();
    OtherUser(const OtherUser &) = delete;
    OtherUser &operator=(const OtherUser &) = delete;

    bool isValid() const { return m_valid; }
    QString name() const { return m_name; }
    uid_t uid() const { return m_uid; }
    gid_t gid() const { return m_gid; }
    QString errorString() const { return m_error; }

    // Makes `path` (not what a link there points to) this user's.
    bool give(const QString &path) const;

private:
    QString m_name;
    uid_t m_uid = 0;
    gid_t m_gid = 0;
    bool m_made = false;
    bool m_valid = false;
    QString m_error;
};
