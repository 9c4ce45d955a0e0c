// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/tray/StatusNotifierItem.h"

#include "app/tray/DBusMenuExporter.h"
#include "app/tray/StatusNotifierItemAdaptor.h"
#include "app/tray/StatusNotifierWatcherNames.h"
#include "app/tray/TrayTexts.h"
#include "platform/Heap.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QTimer>

#include <utility>

namespace pelmora {
namespace {

StatusNotifierItem::Answer answerOf(const QDBusPendingCall &call)
{
    if (!call.isError())
        return StatusNotifierItem::Answer::accepted;
    const QDBusError::ErrorType error = call.error().type();
    return error == QDBusError::NoReply || error == QDBusError::Timeout ? StatusNotifierItem::Answer::silent
                                                                        : StatusNotifierItem::Answer::refused;
}

} // namespace

StatusNotifierItem::StatusNotifierItem(const QDBusConnection &bus, const QString &serviceName, QObject *parent)
    : QObject(parent)
    , m_bus(bus)
    , m_serviceName(serviceName)
    , m_status(TrayTexts::status(std::nullopt))
    , m_trimTimer(new QTimer(this))
    , m_adaptor(nullptr)
    , m_menu(new DBusMenuExporter(this))
{
    registerStatusNotifierTypes();
    m_adaptor = new StatusNotifierItemAdaptor(this);
    m_trimTimer->setSingleShot(true);
    m_trimTimer->setInterval(1000);
    connect(m_trimTimer, &QTimer::timeout, this, [this] {
        m_burstReplies = 0;
        platform::returnFreeHeapPages();
    });
}

StatusNotifierItem::~StatusNotifierItem()
{
    if (!m_published)
        return;
    // Giving up the name is what tells the watcher the item is gone.
    m_bus.unregisterObject(QLatin1String(objectPath));
    m_bus.unregisterObject(QLatin1String(menuPath));
    m_bus.unregisterService(m_serviceName);
}

bool StatusNotifierItem::publish()
{
    if (m_published)
        return true;
    if (!m_bus.isConnected())
        return false;
    if (!m_bus.registerObject(QLatin1String(objectPath), this)
        || !m_bus.registerObject(QLatin1String(menuPath), m_menu)) {
        m_bus.unregisterObject(QLatin1String(objectPath));
        return false;
    }
    if (!m_bus.registerService(m_serviceName)) {
        m_bus.unregisterObject(QLatin1String(objectPath));
        m_bus.unregisterObject(QLatin1String(menuPath));
        return false;
    }
    m_published = true;
    return true;
}

void StatusNotifierItem::registerWithWatcher(Registration registration)
{
    if (!m_published) {
        Q_EMIT registrationFinished(Answer::refused);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QLatin1String(sni::watcherService), QLatin1String(sni::watcherPath), QLatin1String(sni::watcherInterface),
        QStringLiteral("RegisterStatusNotifierItem"));
    call << (registration == Registration::objectPath ? QLatin1String(objectPath) : m_serviceName);
    QDBusPendingCallWatcher *pending = callWatcher(call);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this, pending, sent = ++m_registrations] {
        if (sent == m_registrations)
            Q_EMIT registrationFinished(answerOf(*pending));
    });
}

void StatusNotifierItem::readRegisteredItems()
{
    QDBusMessage get = QDBusMessage::createMethodCall(
        QLatin1String(sni::watcherService), QLatin1String(sni::watcherPath),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QLatin1String(sni::watcherInterface) << QStringLiteral("RegisteredStatusNotifierItems");
    QDBusPendingCallWatcher *pending = callWatcher(get);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this, pending] {
        const QDBusPendingReply<QDBusVariant> reply = *pending;
        const QVariant items = reply.isValid() ? reply.value().variant() : QVariant();
        const Answer answer = answerOf(*pending);
        Q_EMIT registeredItemsRead(answer == Answer::accepted && !items.canConvert<QStringList>() ? Answer::refused
                                                                                                  : answer,
                                   items.toStringList());
    });
}

QDBusPendingCallWatcher *StatusNotifierItem::callWatcher(const QDBusMessage &call)
{
    auto *pending = new QDBusPendingCallWatcher(m_bus.asyncCall(call, int(m_watcherTimeout.count())), this);
    connect(pending, &QDBusPendingCallWatcher::finished, pending, &QObject::deleteLater);
    return pending;
}

void StatusNotifierItem::setStatus(const TrayStatus &status)
{
    if (status == m_status)
        return;
    m_status = status;
    if (m_face == TrayIconRenderer::Face::title) {
        m_icons.clear();
        Q_EMIT m_adaptor->NewIcon();
    }
    Q_EMIT m_adaptor->NewTitle();
    if (!m_frozenToolTip)
        Q_EMIT m_adaptor->NewToolTip();
    Q_EMIT m_adaptor->XAyatanaNewLabel(m_status.title, m_adaptor->xAyatanaLabelGuide());
}

void StatusNotifierItem::setFace(TrayIconRenderer::Face face)
{
    if (face == m_face)
        return;
    m_face = face;
    m_icons.clear();
    Q_EMIT m_adaptor->NewIcon();
}

void StatusNotifierItem::freezeToolTip(bool frozen)
{
    if (frozen) {
        if (!m_frozenToolTip)
            m_frozenToolTip = m_status.toolTip;
    } else if (const std::optional<QString> was = std::exchange(m_frozenToolTip, std::nullopt);
               was && *was != m_status.toolTip) {
        Q_EMIT m_adaptor->NewToolTip();
    }
}

SniToolTip StatusNotifierItem::toolTip() const
{
    return {QString(), {}, QStringLiteral("Pelmora"), m_frozenToolTip.value_or(m_status.toolTip)};
}

void StatusNotifierItem::noteLargeReply() const
{
    // No timer runs outside a burst: a host reading the icon now and then costs nothing here.
    const bool continues = m_lastLargeReply.isValid() && m_lastLargeReply.elapsed() <= 1000;
    m_lastLargeReply.start();
    m_burstReplies = continues ? m_burstReplies + 1 : 1;
    if (m_burstReplies >= replyBurst)
        m_trimTimer->start(); // again: a second after the last one
}

SniIconPixmapList StatusNotifierItem::iconPixmaps() const
{
    if (m_icons.isEmpty())
        for (int size : TrayIconRenderer::sizes())
            m_icons.append(toSniIconPixmap(TrayIconRenderer::render(m_status.title, size, m_face)));
    return m_icons;
}

} // namespace pelmora
