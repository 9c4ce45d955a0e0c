// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A temporary folder that a test fills with files and links, removed with it.
class FixtureTree {
public:
    enum class Place { temporaryFolder, memory };
    // memory: in /dev/shm when it is a writable folder, for trees of many files.
    explicit FixtureTree(Place place = Place::temporaryFolder);
    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &relative) const { return m_dir.filePath(relative); }

    // Writes `content` to `relative`, creating parent folders. Returns the full path.
    QString write(const QString &relative, const QByteArray &content);
    // Creates a symbolic link `relative` pointing at `target`.
    bool symlink(const QString &relative, const QString &target);
    bool makeDir(const QString &relative);
    bool remove(const QString &relative);
    // Everything in the folder `relative` (the tree itself when empty), hidden entries too.
    QStringList entries(const QString &relative = {}) const;

private:
    QTemporaryDir m_dir;
};

// The bytes of the file at `path`, or "<unreadable>".
QByteArray fileContents(const QString &path);

// An application's desktop entry; `extra` holds more lines.
QByteArray desktopEntry(const QByteArray &name, const QByteArray &exec, const QByteArray &extra = {});
