// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "QuitRoute.h"

namespace pelmora {

QuitRoute chooseRoute(const RouteFacts &facts)
{
    if (facts.hasQuitAction)
        return QuitRoute::ownQuitCommand;
    if (facts.closableWindows > 0)
        return QuitRoute::closeWindows;
    if (facts.unclosableWindows > 0 || facts.mayHoldUnseenWindows)
        return QuitRoute::leaveAlone;
    return QuitRoute::terminate;
}

std::vector<platform::X11ClientWindow> windowsOf(std::span<const platform::X11ClientWindow> windows,
                                                 std::uint32_t pid, std::string_view clientMachine)
{
    // A pid means nothing without the machine it was given on.
    std::vector<platform::X11ClientWindow> own;
    if (pid == 0 || clientMachine.empty())
        return own;
    for (const platform::X11ClientWindow &window : windows)
        if (window.pid == pid && window.clientMachine == clientMachine)
            own.push_back(window);
    return own;
}

CloseRequest closeRequestFor(const platform::X11ClientWindow &window, bool windowManagerClosesWindows)
{
    if (!window.takesDeleteWindow)
        return CloseRequest::none;
    return windowManagerClosesWindows ? CloseRequest::throughWindowManager : CloseRequest::deleteWindow;
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

} // namespace pelmora
