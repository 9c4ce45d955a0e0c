// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SwayPlacer.h"

#include "SwayReplies.h"
#include "platform/SwayIpc.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace pelmora {

using platform::SwayMessage;

std::unique_ptr<SwayPlacer> SwayPlacer::create(const QString &socketPath)
{
    if (socketPath.isEmpty() || !platform::swayRequest(socketPath, SwayMessage::getWorkspaces, {}))
        return nullptr;
    return std::unique_ptr<SwayPlacer>(new SwayPlacer(socketPath));
}

QRect SwayPlacer::freeArea(const QScreen &screen) const
{
    const auto reply = platform::swayRequest(m_socket, SwayMessage::getWorkspaces, {});
    const auto area = reply ? sway::focusedWorkspaceArea(*reply) : std::nullopt;
    const QRect free = area ? area->intersected(screen.geometry()) : QRect();
    return free.isValid() ? free : screen.geometry();
}

bool SwayPlacer::run(const QString &commands) const
{
    const auto reply = platform::swayRequest(m_socket, SwayMessage::runCommand, commands.toUtf8());
    return reply && sway::commandsSucceeded(*reply);
}

QString SwayPlacer::criteriaFor(const QWidget &window) const
{
    return sway::criteria(QCoreApplication::applicationPid(), window.windowTitle());
}

void SwayPlacer::prepare(QWidget &window, const QRect &geometry, const ItemAnchor &anchor)
{
    Q_UNUSED(anchor);
    window.move(geometry.topLeft());
    if (m_ruled == geometry.topLeft() && m_ruledTitle == window.windowTitle())
        return;
    // No border or title bar, above the tiled windows, at its place; quoted,
    // or the commas would end the rule.
    if (run(QStringLiteral("for_window %1 \"floating enable, border none, move absolute position %2 %3\"")
                .arg(criteriaFor(window))
                .arg(geometry.x())
                .arg(geometry.y()))) {
        m_ruled = geometry.topLeft();
        m_ruledTitle = window.windowTitle();
    }
}

void SwayPlacer::move(QWidget &window, const QRect &geometry, const ItemAnchor &anchor)
{
    prepare(window, geometry, anchor); // for the next time it opens
    run(QStringLiteral("%1 move absolute position %2 %3").arg(criteriaFor(window)).arg(geometry.x()).arg(geometry.y()));
}

} // namespace pelmora
