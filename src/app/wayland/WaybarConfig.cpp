// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "WaybarConfig.h"

#include "platform/SmallFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace pelmora {
namespace {

// JSON from waybar's dialect: comments dropped, trailing commas too; strings untouched.
QByteArray plainJson(const QByteArray &text)
{
    QByteArray out;
    out.reserve(text.size());
    qsizetype lastComma = -1; // in `out`, while only blanks followed
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        const char next = i + 1 < text.size() ? text.at(i + 1) : '\0';
        if (c == '"') {
            const qsizetype start = i;
            for (++i; i < text.size() && text.at(i) != '"'; ++i)
                if (text.at(i) == '\\')
                    ++i;
            out.append(text.mid(start, i - start + 1));
            lastComma = -1;
        } else if (c == '/' && next == '/') {
            while (i < text.size() && text.at(i) != '\n')
                ++i;
            out.append('\n');
        } else if (c == '/' && next == '*') {
            const qsizetype end = text.indexOf("*/", i + 2);
            i = end < 0 ? text.size() : end + 1;
            out.append(' ');
        } else if ((c == '}' || c == ']') && lastComma >= 0) {
            out[lastComma] = ' ';
            out.append(c);
            lastComma = -1;
        } else {
            if (c == ',')
                lastComma = out.size();
            else if (c != ' ' && c != '\t' && c != '\n' && c != '\r')
                lastComma = -1;
            out.append(c);
        }
    }
    return out;
}

bool holdsTray(const QJsonValue &modules)
{
    for (const QJsonValue &module : modules.toArray())
        if (const QString name = module.toString(); name == u"tray" || name.startsWith(u"tray#"))
            return true;
    return false;
}

std::optional<TraySpot> spotOfBar(const QJsonObject &bar)
{
    TraySpot spot;
    if (holdsTray(bar.value(QLatin1String("modules-left"))))
        spot.side = TraySpot::Side::start;
    else if (holdsTray(bar.value(QLatin1String("modules-center"))))
        spot.side = TraySpot::Side::centre;
    else if (holdsTray(bar.value(QLatin1String("modules-right"))))
        spot.side = TraySpot::Side::end;
    else
        return std::nullopt;
    const QString position = bar.value(QLatin1String("position")).toString();
    spot.edge = position == u"bottom" ? Qt::BottomEdge
        : position == u"left"         ? Qt::LeftEdge
        : position == u"right"        ? Qt::RightEdge
                                      : Qt::TopEdge;
    return spot;
}

} // namespace

std::optional<TraySpot> waybarTraySpot(const QByteArray &text)
{
    const QJsonDocument document = QJsonDocument::fromJson(plainJson(text));
    if (document.isObject())
        return spotOfBar(document.object());
    for (const QJsonValue &bar : document.array())
        if (const auto spot = spotOfBar(bar.toObject()))
            return spot;
    return std::nullopt;
}

std::optional<TraySpot> readWaybarTraySpot(const QStringList &configFolders)
{
    // A configuration is a few KiB; a large file there is not one.
    constexpr qsizetype maxBytes = 1 << 20;
    for (const QString &folder : configFolders)
        for (const char *name : {"/waybar/config", "/waybar/config.jsonc"})
            if (const auto text = platform::readSmallRegularFile(folder + QLatin1String(name), maxBytes))
                return waybarTraySpot(*text);
    return std::nullopt;
}

} // namespace pelmora
