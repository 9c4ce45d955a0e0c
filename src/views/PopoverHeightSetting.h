// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QSettings>
#include <QString>

#include <memory>

namespace pelmora {

// Where the popover keeps its one setting. Tests pass a temporary file.
struct SettingsLocation {
    QString fileName;
    QSettings::Format format = QSettings::IniFormat;
};

// The stored popover height under "popoverHeight". Anything that is not a
// finite number (absent, unreadable file, text, NaN, infinity) reads as 520.
class PopoverHeightSetting {
public:
    explicit PopoverHeightSetting(const SettingsLocation &location);
    ~PopoverHeightSetting();

    double read() const;
    // Writes through to the file at once, so a height survives a crash.
    void write(double height);

    static QString key();

private:
    std::unique_ptr<QSettings> m_settings;
};

} // namespace pelmora
