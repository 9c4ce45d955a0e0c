#include "FixtureTree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

FixtureTree::FixtureTree() = default;

QString FixtureTree::write(const QString &relative, const QByteArray &content)
{
    const QString full = filePath(relative);
    QDir().mkpath(QFileInfo(full).absolutePath());
    QFile file(full);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(content);
    return full;
}

bool FixtureTree::symlink(const QString &relative, const QString &target)
{
    const QString full = filePath(relative);
    QDir().mkpath(QFileInfo(full).absolutePath());
    return QFile::link(target, full);
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
