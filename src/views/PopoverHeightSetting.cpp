// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "PopoverHeightSetting.h"

#include "PopoverResize.h"

#include <cmath>

namespace pelmora {

PopoverHeightSetting::PopoverHeightSetting(const SettingsLocation &location)
    : m_settings(std::make_unique<QSettings>(location.fileName, location.format))
{
}

PopoverHeightSetting::~PopoverHeightSetting() = default;

QString PopoverHeightSetting::key()
{
    return QStringLiteral("popoverHeight");
}

double PopoverHeightSetting::read() const
{
    // A format error elsewhere in the file still leaves the lines QSettings
    // could read; the height is kept whenever it is one of them.
    const QVariant value = m_settings->value(key());
    bool ok = false;
    const double height = value.toDouble(&ok);
    if (!value.isValid() || !ok || !std::isfinite(height))
        return PopoverResize::defaultHeight;
    return height;
}

void PopoverHeightSetting::write(double height)
{
    m_settings->setValue(key(), height);
    m_settings->sync();
}

} // namespace pelmora
