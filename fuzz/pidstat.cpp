// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// One /proc/PID/stat text, and the display name made from it and the executable.
#include "FuzzCheck.h"

#include "services/ProcProcessSource.h"
#include "services/ProcStat.h"

using namespace pelmora;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view text = fuzz::text(data, size);
    const std::optional<ProcStat> stat = parseProcStat(text);
    if (!stat)
        return 0;

    // The name views the input between a '(' and the last ')'.
    const char *begin = stat->comm.data();
    const char *end = begin + stat->comm.size();
    FUZZ_CHECK(begin > text.data() && end < text.data() + text.size());
    FUZZ_CHECK(begin[-1] == '(' && *end == ')');
    FUZZ_CHECK(text.find(')', std::size_t(end - text.data()) + 1) == std::string_view::npos);
    FUZZ_CHECK(stat->state != ' ' && stat->state != '\n');

    // The executable names the process whatever comm says; without one,
    // comm (or argv[0]'s file name) does, and is empty only when comm is.
    ProcessFacts facts;
    facts.argv0.assign(text.substr(0, 64));
    FUZZ_CHECK(processDisplayName(stat->comm, facts).isEmpty() == stat->comm.empty());
    facts.exePath = "/usr/lib/firefox-esr/firefox-esr";
    FUZZ_CHECK(processDisplayName(stat->comm, facts) == QLatin1StringView("firefox-esr"));
    return 0;
}
