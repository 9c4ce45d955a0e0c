// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// RuntimeProbe::formatNumber must give plain decimal text (digits, one point,
// a fraction digit, no exponent) that reads back as the same double. Inputs: the first eight bytes as a double's bits, and the input as
// decimal text (whatever strtod reads from it).
#include "FuzzCheck.h"

#include "support/RuntimeProbe.h"

#include <cmath>
#include <cstring>
#include <string>

using namespace pelmora;

namespace {

void checkRoundTrip(double value)
{
    const QString text = RuntimeProbe::formatNumber(value);
    FUZZ_CHECK(!text.isEmpty());
    if (!std::isfinite(value))
        return;
    const std::string latin = text.toStdString();
    const std::size_t point = latin.find('.');
    FUZZ_CHECK(point != std::string::npos && point + 1 < latin.size() && point > (latin[0] == '-' ? 1u : 0u));
    FUZZ_CHECK(latin.find_first_not_of("-0123456789.", 0) == std::string::npos);
    FUZZ_CHECK(latin.find('.', point + 1) == std::string::npos && latin.find('-', 1) == std::string::npos);
    char *end = nullptr;
    const double back = std::strtod(latin.c_str(), &end);
    FUZZ_CHECK(end == latin.c_str() + latin.size());
    FUZZ_CHECK(back == value && std::signbit(back) == std::signbit(value));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size >= sizeof(double)) {
        double bits = 0;
        std::memcpy(&bits, data, sizeof bits);
        checkRoundTrip(bits);
    }
    const std::string text(reinterpret_cast<const char *>(data), size);
    checkRoundTrip(std::strtod(text.c_str(), nullptr));
    return 0;
}
