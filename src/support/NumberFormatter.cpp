// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "NumberFormatter.h"

#include <unicode/unum.h>

#include <array>
#include <cmath>

namespace pelmora {

struct NumberFormatter::Handle {
    UNumberFormat *format = nullptr;
    ~Handle()
    {
        if (format)
            unum_close(format);
    }
};

NumberFormatter::NumberFormatter(const QByteArray &localeName, int minimumFractionDigits, int maximumFractionDigits)
    : m_handle(std::make_unique<Handle>())
{
    UErrorCode status = U_ZERO_ERROR;
    UNumberFormat *f = unum_open(UNUM_DECIMAL, nullptr, 0, localeName.constData(), nullptr, &status);
    if (U_FAILURE(status) || !f) {
        if (f)
            unum_close(f);
        return;
    }
    unum_setAttribute(f, UNUM_GROUPING_USED, 0);
    unum_setAttribute(f, UNUM_ROUNDING_MODE, UNUM_ROUND_HALFEVEN);
    unum_setAttribute(f, UNUM_MIN_FRACTION_DIGITS, minimumFractionDigits);
    unum_setAttribute(f, UNUM_MAX_FRACTION_DIGITS, maximumFractionDigits);
    m_handle->format = f;
}

NumberFormatter::~NumberFormatter() = default;

std::optional<QString> NumberFormatter::format(double value) const
{
    // ICU would print "NaN" or "∞": not a figure, so the caller's fallback shows.
    if (!m_handle->format || !std::isfinite(value))
        return std::nullopt;
    if (value == 0.0)
        value = 0.0; // -0.0 would read "-0"
    std::array<UChar, 128> buffer{};
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length = unum_formatDouble(m_handle->format, value, buffer.data(), int32_t(buffer.size()), nullptr,
                                             &status);
    if (U_FAILURE(status) || length <= 0 || length > int32_t(buffer.size()))
        return std::nullopt;
    return QString::fromUtf16(reinterpret_cast<const char16_t *>(buffer.data()), length);
}

QByteArray NumberFormatter::icuLocaleFor(const QString &qtLocaleName)
{
    if (qtLocaleName.isEmpty() || qtLocaleName == u"C" || qtLocaleName == u"POSIX")
        return QByteArrayLiteral("en_US_POSIX");
    return qtLocaleName.toLatin1();
}

} // namespace pelmora
