// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The bytes of a desktop file: the entry, its display name and the program
// its Exec runs. The same text with CR LF line ends must read the same.
#include "FuzzCheck.h"

#include "services/registry/DesktopEntry.h"

using namespace pelmora;

namespace {

bool sameEntry(const DesktopEntry &a, const DesktopEntry &b)
{
    return a.type == b.type && a.name == b.name && a.localizedNames == b.localizedNames && a.exec == b.exec
        && a.tryExec == b.tryExec && a.hidden == b.hidden && a.noDisplay == b.noDisplay;
}

void checkProgram(const QString &exec)
{
    FUZZ_CHECK(!execProgram(exec).startsWith(u'%')); // a field code is never the program
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArrayView content = fuzz::bytes(data, size);
    const std::optional<DesktopEntry> entry = parseDesktopEntry(content);
    checkProgram(QString::fromUtf8(content));
    if (!entry)
        return 0;
    FUZZ_CHECK(!content.contains('\0'));
    checkProgram(entry->exec);

    const QStringList locales = entry->localizedNames.keys();
    for (auto it = entry->localizedNames.cbegin(); it != entry->localizedNames.cend(); ++it) {
        FUZZ_CHECK(!it.key().isEmpty());
        if (!it.value().isEmpty())
            FUZZ_CHECK(entry->displayName({it.key()}) == it.value());
    }
    entry->displayName(QStringList{QStringLiteral("sr_RS@latin"), QStringLiteral("sr"), QStringLiteral("C")});

    QByteArray crlf = content.toByteArray();
    crlf.replace("\n", "\r\n");
    const std::optional<DesktopEntry> again = parseDesktopEntry(crlf);
    FUZZ_CHECK(again && sameEntry(*entry, *again));
    return 0;
}
