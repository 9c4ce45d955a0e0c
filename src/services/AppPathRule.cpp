// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "AppPathRule.h"

namespace pelmora {

std::optional<QString> appNameFromPath(QStringView commandPath)
{
    for (QStringView component : commandPath.tokenize(u'/', Qt::SkipEmptyParts)) {
        if (!component.endsWith(QLatin1StringView(".app"), Qt::CaseSensitive))
            continue;
        // Only the outermost bundle counts, even when it has no name.
        if (component.size() == 4)
            return std::nullopt;
        return component.chopped(4).toString();
    }
    return std::nullopt;
}

QString lastPathComponent(QStringView path)
{
    qsizetype end = path.size();
    while (end > 1 && path.at(end - 1) == u'/')
        --end;
    const QStringView trimmed = path.first(end);
    if (trimmed == u"/")
        return QStringLiteral("/");
    const qsizetype slash = trimmed.lastIndexOf(u'/');
    return trimmed.sliced(slash + 1).toString();
}

} // namespace pelmora
