// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ProcStat.h"

#include <charconv>
#include <cstring>

namespace pelmora {
namespace {

template<typename Int> bool parseInt(std::string_view token, Int &out) noexcept
{
    const auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), out);
    return ec == std::errc() && end == token.data() + token.size();
}

// Splits at spaces, as the kernel writes the fields; a token ends at a space
// or a line break. One pass over the characters: this runs for every process
// on every refresh.
class Fields {
public:
    explicit Fields(std::string_view rest) noexcept : m_at(rest.data()), m_end(rest.data() + rest.size()) { }
    std::string_view next() noexcept
    {
        while (m_at != m_end && *m_at == ' ')
            ++m_at;
        const char *start = m_at;
        while (m_at != m_end && *m_at != ' ' && *m_at != '\n')
            ++m_at;
        return {start, std::size_t(m_at - start)};
    }

private:
    const char *m_at;
    const char *m_end;
};

} // namespace

std::optional<ProcStat> parseProcStat(std::string_view text) noexcept
{
    const std::size_t open = text.find('(');
    // The last ')' ends the name; memrchr scans the short line from its end in wide steps.
    const void *last = text.empty() ? nullptr : ::memrchr(text.data(), ')', text.size());
    const std::size_t close = last ? std::size_t(static_cast<const char *>(last) - text.data())
                                   : std::string_view::npos;
    if (open == std::string_view::npos || close == std::string_view::npos || close < open)
        return std::nullopt;

    ProcStat stat;
    stat.comm = text.substr(open + 1, close - open - 1);
    Fields fields(text.substr(close + 1));

    // Field numbers as in proc(5); field 3 is the first after the name.
    // Fields 25 to 28 only tell programs apart; a line without them still counts.
    for (int field = 3; field <= 28; ++field) {
        const std::string_view token = fields.next();
        if (token.empty())
            return field > 24 ? std::optional(stat) : std::nullopt;
        bool ok = true;
        switch (field) {
        case 3:
            ok = token.size() == 1;
            stat.state = token.front();
            break;
        case 4:
            ok = parseInt(token, stat.ppid);
            break;
        case 9:
            ok = parseInt(token, stat.flags);
            break;
        case 14:
            ok = parseInt(token, stat.utimeTicks);
            break;
        case 15:
            ok = parseInt(token, stat.stimeTicks);
            break;
        case 22:
            ok = parseInt(token, stat.startTimeTicks);
            break;
        case 24:
            ok = parseInt(token, stat.rssPages);
            break;
        case 26:
            ok = parseInt(token, stat.startCode);
            break;
        case 27:
            ok = parseInt(token, stat.endCode);
            break;
        case 28:
            ok = parseInt(token, stat.startStack);
            break;
        default:
            break;
        }
        if (!ok)
            return std::nullopt;
    }
    return stat;
}

} // namespace pelmora
