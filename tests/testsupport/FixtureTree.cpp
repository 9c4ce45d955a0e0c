// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "FixtureTree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
QString templateFor(FixtureTree::Place place)
{
    const QFileInfo shm(QStringLiteral("/dev/shm"));
    if (place == FixtureTree::Place::memory && shm.isDir() && shm.isWritable())
        return QStringLiteral("/dev/shm/pelmora-test-XXXXXX");
    return QDir::tempPath() + QStringLiteral("/pelmora-test-XXXXXX");
}

QString withParent(const QString &full)
{
    QDir().mkpath(QFileInfo(full).absolutePath());
    return full;
}
} // namespace

FixtureTree::FixtureTree(Place place) : m_dir(templateFor(place))
{
}

QString FixtureTree::write(const QString &relative, const QByteArray &content)
{
    const QString full = withParent(filePath(relative));
    QFile file(full);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(content);
    return full;
}

bool FixtureTree::symlink(const QString &relative, const QString &target)
{
    return QFile::link(target, withParent(filePath(relative)));
}

bool FixtureTree::makeDir(const QString &relative)
{
    return QDir().mkpath(filePath(relative));
}

bool FixtureTree::remove(const QString &relative)
{
    const QString full = filePath(relative);
    if (QFileInfo(full).isDir() && !QFileInfo(full).isSymLink())
        return QDir(full).removeRecursively();
    return QFile::remove(full);
}

QStringList FixtureTree::entries(const QString &relative) const
{
    return QDir(filePath(relative)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

QByteArray fileContents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QByteArray desktopEntry(const QByteArray &name, const QByteArray &exec, const QByteArray &extra)
{
    return "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=" + exec + "\n" + extra;
}
