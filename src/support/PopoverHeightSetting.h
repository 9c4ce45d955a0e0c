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
// text, NaN, infinity) reads as 520. A file that exists but cannot be read
// whole, such as one far larger than this program ever writes, is left
// exactly as it is: nothing is written over it.
class PopoverHeightSetting {
public:
    // This program writes some 40 bytes; anything beyond this is not its file.
    static constexpr qsizetype maximumFileSize = 64 * 1024;

    explicit PopoverHeightSetting(SettingsLocation location);

    double read();
    // Replaces the file at once, so a height survives a crash; a symbolic
    // link in its place is replaced, never written through.
    void write(double height);
    bool keepsFileUnchanged() const { return m_keepsFileUnchanged; }

    static QString key();
    // The height an INI text stores, if it stores a finite number.
    static std::optional<double> parse(QByteArrayView text);

private:
    enum class Read { missing, unreadable, read };
    Read readFile(const QString &fileName, std::optional<double> &height) const;

    SettingsLocation m_location;
    bool m_keepsFileUnchanged = false;
};

} // namespace pelmora
