// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// RuntimeProbe::formatNumber must give text that reads back as the same
// double. Inputs: the first eight bytes as a double's bits, and the input as
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
    // Plain form always has a fraction digit; otherwise it is exponent form.
    FUZZ_CHECK(text.contains(u'.') || text.contains(u'e'));
    const std::string latin = text.toStdString();
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
