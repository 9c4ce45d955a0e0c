// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SessionUser.h"

#include "ProcessTree.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>

#include <csignal>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>

namespace pelmora {
namespace {

// The processes (by PID) whose real user is `uid`, read from /proc.
QList<qint64> processesOf(uid_t uid)
{
    QList<qint64> pids;
    for (const QFileInfo &entry : QDir(QStringLiteral("/proc")).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool numeric = false;
        const qint64 pid = entry.fileName().toLongLong(&numeric);
        if (numeric && entry.ownerId() == uid)
            pids << pid;
    }
    return pids;
}

} // namespace

SessionUser::~SessionUser()
{
    remove();
}

bool SessionUser::create(const QString &home)
{
    m_uid = ::getuid();
    m_gid = ::getgid();
    if (m_uid != 0)
        return true;
    const QString name =
        QStringLiteral("pelmora-test-%1").arg(QRandomGenerator::global()->bounded(1000000), 6, 10, QChar(u'0'));
    QProcess useradd;
    useradd.start(QStringLiteral("useradd"),
                  {QStringLiteral("--system"), QStringLiteral("--no-create-home"), QStringLiteral("--home-dir"), home,
                   QStringLiteral("--shell"), QStringLiteral("/usr/sbin/nologin"), QStringLiteral("--user-group"),
                   name});
    if (!useradd.waitForFinished(30000) || useradd.exitCode() != 0) {
        m_error = QStringLiteral("useradd failed: ") + QString::fromLocal8Bit(useradd.readAllStandardError()).trimmed()
            + useradd.errorString();
        return false;
    }
    m_name = name;
    const passwd *entry = ::getpwnam(qPrintable(name));
    if (!entry) {
        m_error = QStringLiteral("no passwd entry for ") + name;
        remove();
        return false;
    }
    m_uid = entry->pw_uid;
    m_gid = entry->pw_gid;
    return true;
}

void SessionUser::remove()
{
    if (m_name.isEmpty())
        return;
    // The session's processes were stopped by PID; whatever of this user is
    // left (a daemon that detached) is this session's own as well.
    for (const QDeadlineTimer deadline(5000); !deadline.hasExpired(); QThread::msleep(50)) {
        const QList<qint64> left = processesOf(m_uid);
        if (left.isEmpty())
            break;
        for (qint64 pid : left)
            ProcessTree::stop(pid, 500);
    }
    QProcess userdel;
    userdel.start(QStringLiteral("userdel"), {m_name});
    userdel.waitForFinished(30000);
    m_name.clear();
    m_uid = ::getuid();
    m_gid = ::getgid();
}

bool SessionUser::own(const QString &path) const
{
    if (isOwnUser())
        return true;
    bool ok = ::chown(QFile::encodeName(path).constData(), m_uid, m_gid) == 0;
    for (QDirIterator it(path, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
         it.hasNext();)
        ok = ::lchown(QFile::encodeName(it.next()).constData(), m_uid, m_gid) == 0 && ok;
    return ok;
}

std::function<void()> SessionUser::becomeUser() const
{
    if (isOwnUser())
        return [] {};
    const uid_t uid = m_uid;
    const gid_t gid = m_gid;
    // Runs in the child between fork and exec: only async-signal-safe calls.
    return [uid, gid] {
        if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
            ::_exit(127);
    };
}

} // namespace pelmora
