// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "UnitName.h"

#include <QStringDecoder>

#include <optional>
#include <string>

namespace pelmora {
namespace {

constexpr std::string_view kServiceSuffix = ".service";
constexpr std::string_view kScopeSuffix = ".scope";

int hexDigit(char c) noexcept
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Undoes systemd's `\xNN` escapes (GNOME escapes everything outside
// [A-Za-z0-9:_.], so a '-' inside an id arrives as `\x2d`). Nothing when the
// bytes are not valid UTF-8 or cannot be a desktop file name.
std::optional<QString> unescapedId(std::string_view text)
{
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && text.size() - i >= 4 && text[i + 1] == 'x' && hexDigit(text[i + 2]) >= 0
            && hexDigit(text[i + 3]) >= 0) {
            bytes.push_back(char(hexDigit(text[i + 2]) * 16 + hexDigit(text[i + 3])));
            i += 3;
        } else {
            bytes.push_back(text[i]);
        }
    }
    if (bytes.empty() || bytes.find('/') != std::string::npos || bytes.find('\0') != std::string::npos)
        return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString id = decoder(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    if (decoder.hasError())
        return std::nullopt;
    return id;
}

void addId(QStringList &ids, std::string_view escaped)
{
    if (std::optional<QString> id = unescapedId(escaped)) {
        QString desktopId = *id + QLatin1String(".desktop");
        if (!ids.contains(desktopId))
            ids.append(std::move(desktopId));
    }
}

// "[<launcher>-]<appid>", split before unescaping so that an escaped '-'
// inside the id never counts as the launcher's separator.
void addWithAndWithoutLauncher(QStringList &ids, std::string_view name)
{
    addId(ids, name);
    const std::size_t dash = name.find('-');
    if (dash != std::string_view::npos)
        addId(ids, name.substr(dash + 1));
}

bool isUuid(std::string_view text) noexcept
{
    if (text.size() != 36)
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool dashPosition = i == 8 || i == 13 || i == 18 || i == 23;
        if (dashPosition ? text[i] != '-' : hexDigit(text[i]) < 0)
            return false;
    }
    return true;
}

// "<snap>.<app>[-<uuid>]" after "snap.": the desktop id is "<snap>_<app>".
QStringList snapIds(std::string_view stem, bool isScope)
{
    const std::size_t dot = stem.find('.');
    if (dot == std::string_view::npos)
        return {};
    const std::string_view snap = stem.substr(0, dot);
    std::string_view app = stem.substr(dot + 1);
    if (isScope) {
        if (app.size() > 37 && app[app.size() - 37] == '-' && isUuid(app.substr(app.size() - 36))) {
            app.remove_suffix(37);
        } else {
            const std::size_t dash = app.rfind('-');
            if (dash == std::string_view::npos)
                return {};
            app = app.substr(0, dash);
        }
    }
    // Hooks ("hook.configure") are not applications; app names hold no '.'.
    if (snap.empty() || app.empty() || app.find('.') != std::string_view::npos)
        return {};
    QStringList ids;
    addId(ids, std::string(snap) + '_' + std::string(app));
    return ids;
}

// The deepest component that is a service or scope decides. Components that
// are neither are sub-groups a service made inside its own unit, and slices
// only ever hold units, so both are passed over.
QStringList idsFromCgroupPath(std::string_view path)
{
    while (!path.empty()) {
        const std::size_t slash = path.rfind('/');
        const std::string_view component = slash == std::string_view::npos ? path : path.substr(slash + 1);
        if (component.ends_with(kServiceSuffix) || component.ends_with(kScopeSuffix))
            return desktopIdsFromUnit(component);
        path = slash == std::string_view::npos ? std::string_view() : path.substr(0, slash);
    }
    return {};
}

} // namespace

QStringList desktopIdsFromUnit(std::string_view unitName)
{
    QStringList ids;
    if (unitName.ends_with(kServiceSuffix)) {
        const std::string_view stem = unitName.substr(0, unitName.size() - kServiceSuffix.size());
        if (stem.starts_with("snap."))
            return snapIds(stem.substr(5), false);
        if (!stem.starts_with("app-"))
            return {};
        std::string_view name = stem.substr(4);
        name = name.substr(0, name.find('@')); // template instance "@<random>"
        addWithAndWithoutLauncher(ids, name);
    } else if (unitName.ends_with(kScopeSuffix)) {
        const std::string_view stem = unitName.substr(0, unitName.size() - kScopeSuffix.size());
        if (stem.starts_with("snap."))
            return snapIds(stem.substr(5), true);
        if (!stem.starts_with("app-"))
            return {};
        const std::string_view name = stem.substr(4);
        const std::size_t dash = name.rfind('-'); // scopes always end in "-<random>"
        if (dash == std::string_view::npos || dash + 1 == name.size())
            return {};
        addWithAndWithoutLauncher(ids, name.substr(0, dash));
    }
    return ids;
}

QStringList desktopIdsFromCgroup(std::string_view cgroupText)
{
    std::string_view unified;
    std::string_view systemdV1;
    while (!cgroupText.empty()) {
        const std::size_t end = cgroupText.find('\n');
        const std::string_view line = cgroupText.substr(0, end);
        cgroupText.remove_prefix(end == std::string_view::npos ? cgroupText.size() : end + 1);

        // "hierarchy-ID:controller-list:cgroup-path"; the path may hold ':'.
        const std::size_t first = line.find(':');
        const std::size_t second = first == std::string_view::npos ? first : line.find(':', first + 1);
        if (second == std::string_view::npos)
            continue;
        const std::string_view hierarchy = line.substr(0, first);
        const std::string_view controllers = line.substr(first + 1, second - first - 1);
        const std::string_view path = line.substr(second + 1);
        if (hierarchy == "0" && controllers.empty())
            unified = path;
        else if (controllers == "name=systemd")
            systemdV1 = path;
    }
    // On hybrid systems both name the same unit; in some containers the
    // unified line is just "/" while the v1 line still holds the unit.
    QStringList ids = idsFromCgroupPath(unified);
    if (ids.isEmpty())
        ids = idsFromCgroupPath(systemdV1);
    return ids;
}

} // namespace pelmora
