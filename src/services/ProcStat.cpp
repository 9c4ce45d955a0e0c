#include "ProcStat.h"

#include <charconv>

namespace pelmora {
namespace {

template <typename Int>
bool parseInt(std::string_view token, Int &out) noexcept
{
    const auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), out);
    return ec == std::errc() && end == token.data() + token.size();
}

// Splits at single spaces, as the kernel writes the fields.
class Fields {
public:
    explicit Fields(std::string_view rest) noexcept : m_rest(rest) {}
    std::string_view next() noexcept
    {
        while (!m_rest.empty() && m_rest.front() == ' ')
            m_rest.remove_prefix(1);
        const std::size_t end = m_rest.find_first_of(" \n");
        const std::string_view token = m_rest.substr(0, end);
        m_rest.remove_prefix(end == std::string_view::npos ? m_rest.size() : end);
        return token;
    }

private:
    std::string_view m_rest;
};

} // namespace

std::optional<ProcStat> parseProcStat(std::string_view text) noexcept
{
    const std::size_t open = text.find('(');
    const std::size_t close = text.rfind(')');
    if (open == std::string_view::npos || close == std::string_view::npos || close < open)
        return std::nullopt;

    ProcStat stat;
    stat.comm = text.substr(open + 1, close - open - 1);
    Fields fields(text.substr(close + 1));

    // Field numbers as in proc(5); field 3 is the first after the name.
    for (int field = 3; field <= 24; ++field) {
        const std::string_view token = fields.next();
        if (token.empty())
            return std::nullopt;
        bool ok = true;
        switch (field) {
        case 3:
            ok = token.size() == 1;
            stat.state = token.front();
            break;
        case 4: ok = parseInt(token, stat.ppid); break;
        case 9: ok = parseInt(token, stat.flags); break;
        case 14: ok = parseInt(token, stat.utimeTicks); break;
        case 15: ok = parseInt(token, stat.stimeTicks); break;
        case 22: ok = parseInt(token, stat.startTimeTicks); break;
        case 24: ok = parseInt(token, stat.rssPages); break;
        default: break;
        }
        if (!ok)
            return std::nullopt;
    }
    return stat;
}

} // namespace pelmora
