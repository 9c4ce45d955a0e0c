// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "OtherUser.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>

#include <pwd.h>
#include <unistd.h>

OtherUser::OtherUser(const QString &purpose, const QString &home)
    : m_name(QStringLiteral("pm-%1-%2").arg(purpose).arg(QCoreApplication::applicationPid()))
{
    if (::geteuid() != 0) {
        m_error = QStringLiteral("needs root to make a user");
        return;
    }
    QStringList arguments{QStringLiteral("--system"), QStringLiteral("--no-create-home"), QStringLiteral("--shell"),
                          QStringLiteral("/usr/sbin/nologin")};
    if (!home.isEmpty())
        arguments << QStringLiteral("--home-dir") << home;
    arguments << m_name;
    if (QProcess::execute(QStringLiteral("useradd"), arguments) != 0) {
        m_error = QStringLiteral("useradd %1 failed").arg(m_name);
        return;
    }
    m_made = true;
    const passwd *account = ::getpwnam(QFile::encodeName(m_name).constData());
    m_valid = account && account->pw_uid != 0;
    if (account) {
        m_uid = account->pw_uid;
        m_gid = account->pw_gid;
    }
}

OtherUser::~OtherUser()
{
    if (m_made)
        QProcess::execute(QStringLiteral("userdel"), {m_name});
}

bool OtherUser::give(const QString &path) const
{
    return m_valid && ::lchown(QFile::encodeName(path).constData(), m_uid, m_gid) == 0;
}
