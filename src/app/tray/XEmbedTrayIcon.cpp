// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/tray/XEmbedTrayIcon.h"

#include "app/tray/TrayIconRenderer.h"
#include "app/tray/TrayTexts.h"

#include <QGuiApplication>
#include <QMenu>
#include <QSystemTrayIcon>

namespace pelmora {

XEmbedTrayIcon::XEmbedTrayIcon(QMenu *menu, QObject *parent) : QObject(parent), m_icon(new QSystemTrayIcon(this))
{
    m_icon->setContextMenu(menu);
    connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason != QSystemTrayIcon::Trigger)
            return;
        const QRect geometry = m_icon->geometry();
        Q_EMIT activated(geometry.isValid() ? geometry.center() : QPoint());
    });
    setStatus(TrayTexts::status(std::nullopt));
    m_icon->show();
}

XEmbedTrayIcon::~XEmbedTrayIcon()
{
    m_icon->hide();
}

bool XEmbedTrayIcon::isTrayAvailable()
{
    return QGuiApplication::platformName() == QLatin1String("xcb") && QSystemTrayIcon::isSystemTrayAvailable();
}

void XEmbedTrayIcon::setStatus(const TrayStatus &status)
{
    if (status == m_status)
        return;
    m_status = status;
    m_icon->setIcon(TrayIconRenderer::icon(status.title, TrayIconRenderer::Face::title));
    if (m_toolTipShown)
        m_icon->setToolTip(status.toolTip);
}

void XEmbedTrayIcon::setToolTipShown(bool shown)
{
    m_toolTipShown = shown;
    m_icon->setToolTip(shown ? m_status.toolTip : QString());
}

} // namespace pelmora
