// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArrayView>
#include <QString>

#include <optional>

namespace pelmora {

// Where the popover keeps its one setting. Tests pass temporary files.
struct SettingsLocation {
    QString fileName;
    // A file of an earlier version, read once while `fileName` does not exist:
    // its height moves into `fileName` and the old file is removed.
    QString legacyFileName = {};
};

// The stored popover height under "popoverHeight" in the [General] group of
// an INI file. Anything that is not a finite number (absent, unreadable file,
// text, NaN, infinity) reads as the default.
//
// Writing changes that one value and keeps the rest of the file as it is.
// A file that exists but cannot be read whole (larger than this program's
// limit, not a regular file) is never written over; one that does not read as
// INI is first kept under another name, with a line on stderr. The folder is
// made when missing; a folder that is a symbolic link, or one on a path that
// is not the user's (see SafeFile), is never written into: the height is then
// kept for this run only, with a line on stderr.
class PopoverHeightSetting {
public:
    static constexpr double defaultHeight = 520.0;
    // Hand-written files with comments and other groups fit; a file beyond
    // this is not a settings file.
    static constexpr qsizetype maximumFileSize = 64 * 1024;

    explicit PopoverHeightSetting(SettingsLocation location);

    double read();
    // Replaces the file at once, so a height survives a crash; a symbolic
    // link in its place is replaced, never written through.
    void write(double height);

    // The height an INI text stores, if it stores a finite number.
    static std::optional<double> parse(QByteArrayView text);

private:
    enum class Read { missing, unreadable, read };
    static Read readFile(const QString &fileName, std::optional<double> &height);
    void report(const QString &line);

    SettingsLocation m_location;
    bool m_keepsFileUnchanged = false;
    bool m_reported = false;
};

} // namespace pelmora
