// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

namespace pelmora {

// A locale-aware decimal formatter: plain digits, no grouping, ties rounded
// half to even (Qt's QLocale rounds ties away from zero, so ICU does the work).
// Not thread-safe; the shared instances are used on the main thread only.
class NumberFormatter {
public:
    NumberFormatter(const QByteArray &localeName, int minimumFractionDigits, int maximumFractionDigits);
    ~NumberFormatter();
    NumberFormatter(const NumberFormatter &) = delete;
    NumberFormatter &operator=(const NumberFormatter &) = delete;

    // The text of `value`, or nothing when it is not finite or ICU could not format it.
    std::optional<QString> format(double value) const;

    // The ICU locale id for a Qt locale name ("C" has no ICU counterpart).
    static QByteArray icuLocaleFor(const QString &qtLocaleName);

private:
    struct Handle;
    std::unique_ptr<Handle> m_handle;
};

} // namespace pelmora
