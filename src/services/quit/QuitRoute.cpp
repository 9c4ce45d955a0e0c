// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "QuitRoute.h"

#include <algorithm>

namespace pelmora {

RouteChoice chooseRoute(const RouteFacts &facts)
{
    using Reason = QuitOutcome::Reason;
    if (facts.hasQuitAction)
        return {QuitRoute::ownQuitCommand, Reason::none};
    if (facts.closableWindows > 0)
        return {QuitRoute::closeWindows, Reason::none};
    if (facts.unclosableWindows > 0)
        return {QuitRoute::none, Reason::forceOnly};
    if (facts.mayHoldUnseenWindows)
        return {QuitRoute::none, facts.windowSystemAttributes ? Reason::unseenWindows : Reason::windowSystemSilent};
    return {QuitRoute::terminate, Reason::none};
}

bool isTargetsConnection(const BusConnectionFacts &facts, std::int32_t targetPid)
{
    if (targetPid <= 1)
        return false;
    if (facts.offersProcessHandle)
        return facts.handlePid == targetPid;
    return facts.busSharesPidNamespace && facts.reportedPid == quint32(targetPid) && facts.connectionsWithPid > 0
        && facts.targetConnections == facts.connectionsWithPid;
}

QString applicationObjectPath(const QString &busName)
{
    if (busName.isEmpty() || busName.startsWith(u'.') || busName.endsWith(u'.') || busName.contains(u"..")
        || busName.startsWith(u':'))
        return {};
    QString path(1, u'/');
    path.reserve(busName.size() + 1);
    for (const QChar c : busName) {
        const char16_t u = c.unicode();
        if (u == u'.')
            path += u'/';
        else if (u == u'-')
            path += u'_';
        else if (u == u'_' || (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z'))
            path += c;
        else
            return {};
    }
    return path;
}

bool isPlainAction(const std::optional<platform::ActionDescription> &description)
{
    return description && description->enabled && description->parameterType.isEmpty();
}

QuitOutcome outcomeOf(const QString &appId, const QString &appName, std::span<const RouteChoice> choices,
                      bool othersOwnSome)
{
    using Reason = QuitOutcome::Reason;
    QuitOutcome outcome{appId, appName};
    if (choices.empty()) {
        outcome.kind = othersOwnSome ? QuitOutcome::Kind::noRoute : QuitOutcome::Kind::gone;
        outcome.reason = othersOwnSome ? Reason::otherUsers : Reason::none;
        return outcome;
    }
    outcome.canEnd = true;
    if (std::any_of(choices.begin(), choices.end(), [](const RouteChoice &c) { return c.route != QuitRoute::none; })) {
        outcome.kind = QuitOutcome::Kind::asked;
        return outcome;
    }
    // The reason that says the most about the desktop comes first.
    outcome.kind = QuitOutcome::Kind::noRoute;
    for (const Reason reason : {Reason::windowSystemSilent, Reason::forceOnly, Reason::unseenWindows})
        if (std::any_of(choices.begin(), choices.end(),
                        [reason](const RouteChoice &c) { return c.reason == reason; })) {
            outcome.reason = reason;
            break;
        }
    return outcome;
}

} // namespace pelmora
