// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SwayReplies.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace pelmora::sway {

std::optional<QRect> focusedWorkspaceArea(const QByteArray &workspaces)
{
    for (const QJsonValue &value : QJsonDocument::fromJson(workspaces).array()) {
        const QJsonObject workspace = value.toObject();
        if (!workspace.value(QLatin1String("focused")).toBool())
            continue;
        const QJsonObject rect = workspace.value(QLatin1String("rect")).toObject();
        const QRect area(rect.value(QLatin1String("x")).toInt(), rect.value(QLatin1String("y")).toInt(),
                         rect.value(QLatin1String("width")).toInt(), rect.value(QLatin1String("height")).toInt());
        if (area.isValid())
            return area;
    }
    return std::nullopt;
}

bool commandsSucceeded(const QByteArray &reply)
{
    const QJsonArray results = QJsonDocument::fromJson(reply).array();
    return !results.isEmpty() && std::all_of(results.begin(), results.end(), [](const QJsonValue &result) {
        return result.toObject().value(QLatin1String("success")).toBool();
    });
}

QString literalPattern(const QString &text, bool whole)
{
    // Sway's criteria are PCRE patterns inside double quotes.
    QString pattern = QStringLiteral("^");
    for (const QChar c : text) {
        if (QStringView(u"\\^$.|?*+()[]{}\"").contains(c))
            pattern += u'\\';
        pattern += c;
    }
    return whole ? pattern + u'$' : pattern;
}

QString criteria(qint64 pid, const QString &title)
{
    return QStringLiteral("[pid=%1 title=\"%2\"]").arg(pid).arg(literalPattern(title, false));
}

} // namespace pelmora::sway
