// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "IsolatedText.h"

namespace pelmora {
namespace {

constexpr char16_t leftToRightIsolate = 0x2066;
constexpr char16_t firstStrongIsolate = 0x2068;
constexpr char16_t popDirectionalIsolate = 0x2069;

} // namespace

QString isolated(const QString &text)
{
    QString out;
    out.reserve(text.size() + 2);
    out += QChar(firstStrongIsolate);
    int open = 0; // isolates the text itself opened
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= leftToRightIsolate && u <= firstStrongIsolate) {
            ++open;
        } else if (u == popDirectionalIsolate) {
            if (open == 0)
                continue;
            --open;
        }
        out += c;
    }
    // Close what the text left open, then our own isolate, so nothing after
    // the name ends up inside it.
    for (; open > 0; --open)
        out += QChar(popDirectionalIsolate);
    out += QChar(popDirectionalIsolate);
    return out;
}

} // namespace pelmora
