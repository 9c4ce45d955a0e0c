// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A /proc/PID/cgroup text, and the same bytes as one systemd unit name.
#include "FuzzCheck.h"

#include "services/registry/UnitName.h"

using namespace pelmora;

namespace {

// Every id must be usable as a desktop file name: "<something>.desktop",
// no folder separator, no NUL, each at most once.
void checkIds(const QStringList &ids)
{
    FUZZ_CHECK(ids.size() <= 2); // with and without the launcher segment
    for (const QString &id : ids) {
        FUZZ_CHECK(id.endsWith(QLatin1String(".desktop")) && id.size() > 8);
        FUZZ_CHECK(!id.contains(u'/') && !id.contains(QChar(0)));
        FUZZ_CHECK(ids.count(id) == 1);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view text = fuzz::text(data, size);
    checkIds(desktopIdsFromCgroup(text));
    checkIds(desktopIdsFromUnit(text));
    return 0;
}
