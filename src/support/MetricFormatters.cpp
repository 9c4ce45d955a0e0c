// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "MetricFormatters.h"

#include <QLocale>

namespace pelmora {
namespace {

constexpr quint64 gibibyte = quint64(1) << 30;
constexpr double bytesToMebibytes = 1.0 / double(quint64(1) << 20);
constexpr double bytesToGibibytes = 1.0 / double(gibibyte);

QByteArray userLocale()
{
    return NumberFormatter::icuLocaleFor(QLocale().name());
}

QString textOr(const NumberFormatter &formatter, double value, QLatin1StringView fallback)
{
    if (std::optional<QString> text = formatter.format(value))
        return *std::move(text);
    return fallback;
}

} // namespace

// Function-local statics: created once, thread-safely, and never released.
const NumberFormatter &percentFormatter()
{
    static const NumberFormatter f(userLocale(), 0, 0);
    return f;
}

const NumberFormatter &fractionalPercentFormatter()
{
    static const NumberFormatter f(userLocale(), 1, 1);
    return f;
}

const NumberFormatter &megabyteFormatter()
{
    static const NumberFormatter f(userLocale(), 0, 0);
    return f;
}

const NumberFormatter &gigabyteFormatter()
{
    static const NumberFormatter f(userLocale(), 1, 1);
    return f;
}

QString formattedPercent(double value)
{
    return textOr(percentFormatter(), value, QLatin1StringView("0")) + u'%';
}

QString formattedProcessCPU(double value)
{
    // The formatter is chosen by the raw value: 0.96 shows "1.0%", 1.0 shows "1%".
    if (value > 0.0 && value < 1.0)
        return textOr(fractionalPercentFormatter(), value, QLatin1StringView("0.0")) + u'%';
    return textOr(percentFormatter(), value, QLatin1StringView("0")) + u'%';
}

QString formattedBytes(quint64 bytes)
{
    // The unit switch is on the integer, before any rounding.
    if (bytes >= gibibyte)
        return textOr(gigabyteFormatter(), double(bytes) * bytesToGibibytes, QLatin1StringView("0"))
            + QLatin1StringView(" GB");
    return textOr(megabyteFormatter(), double(bytes) * bytesToMebibytes, QLatin1StringView("0"))
        + QLatin1StringView(" MB");
}

} // namespace pelmora
