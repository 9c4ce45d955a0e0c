// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SingleInstance.h"

#include "AppIdentity.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QVariantList>

#include <cstdio>

namespace pelmora {

// The org.freedesktop.Application interface of a SingleInstance (its parent).
// There are no documents and no actions: Open only activates.
class ApplicationAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")
    Q_CLASSINFO("D-Bus Introspection",
                ""
                "  <interface name=\"org.freedesktop.Application\">\n"
                "    <method name=\"Activate\">\n"
                "      <arg type=\"a{sv}\" name=\"platform_data\" direction=\"in\"/>\n"
                "      <annotation name=\"org.qtproject.QtDBus.QtTypeName.In0\" value=\"QVariantMap\"/>\n"
                "    </method>\n"
                "    <method name=\"Open\">\n"
                "      <arg type=\"as\" name=\"uris\" direction=\"in\"/>\n"
                "      <arg type=\"a{sv}\" name=\"platform_data\" direction=\"in\"/>\n"
                "      <annotation name=\"org.qtproject.QtDBus.QtTypeName.In1\" value=\"QVariantMap\"/>\n"
                "    </method>\n"
                "    <method name=\"ActivateAction\">\n"
                "      <arg type=\"s\" name=\"action_name\" direction=\"in\"/>\n"
                "      <arg type=\"av\" name=\"parameter\" direction=\"in\"/>\n"
                "      <arg type=\"a{sv}\" name=\"platform_data\" direction=\"in\"/>\n"
                "      <annotation name=\"org.qtproject.QtDBus.QtTypeName.In2\" value=\"QVariantMap\"/>\n"
                "    </method>\n"
                "  </interface>\n")

public:
    explicit ApplicationAdaptor(SingleInstance *instance) : QDBusAbstractAdaptor(instance), m_instance(instance) { }

public Q_SLOTS:
    void Activate(const QVariantMap &platformData) { m_instance->activate(platformData); }
    void Open(const QStringList &uris, const QVariantMap &platformData)
    {
        Q_UNUSED(uris);
        m_instance->activate(platformData);
    }
    void ActivateAction(const QString &name, const QVariantList &parameter, const QVariantMap &platformData)
    {
        Q_UNUSED(parameter);
        Q_UNUSED(platformData);
        m_instance->activateAction(name);
    }

private:
    SingleInstance *m_instance;
};

SingleInstance::SingleInstance(QObject *parent) : SingleInstance(QDBusConnection::sessionBus(), parent)
{
}

SingleInstance::SingleInstance(const QDBusConnection &bus, QObject *parent) : QObject(parent), m_bus(bus)
{
    new ApplicationAdaptor(this);
}

SingleInstance::~SingleInstance()
{
    if (!m_owner)
        return;
    m_bus.unregisterService(QLatin1String(appId));
    m_bus.unregisterObject(QLatin1String(objectPath));
}

SingleInstance::Claim SingleInstance::claim()
{
    if (m_owner)
        return Claim::first;
    if (!m_bus.isConnected() || !m_bus.interface())
        return Claim::noBus;
    // The object first: a later start may call it the moment the name is ours.
    if (!m_bus.registerObject(QLatin1String(objectPath), this))
        return Claim::noBus;
    const auto reply = m_bus.interface()->registerService(QLatin1String(appId),
                                                          QDBusConnectionInterface::DontQueueService,
                                                          QDBusConnectionInterface::DontAllowReplacement);
    m_owner = reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered;
    if (!m_owner) {
        m_bus.unregisterObject(QLatin1String(objectPath));
        return reply.isValid() ? Claim::second : Claim::noBus;
    }
    return Claim::first;
}

QString SingleInstance::activateFirst(int timeoutMs)
{
    QVariantMap platformData;
    // Lets the first one's window take the focus the launcher granted this start.
    for (const auto &[variable, key] :
         {std::pair{"XDG_ACTIVATION_TOKEN", "activation-token"}, std::pair{"DESKTOP_STARTUP_ID", "desktop-startup-id"}})
        if (const QString value = qEnvironmentVariable(variable); !value.isEmpty())
            platformData.insert(QLatin1String(key), value);
    QDBusMessage call = QDBusMessage::createMethodCall(QLatin1String(appId), QLatin1String(objectPath),
                                                       QStringLiteral("org.freedesktop.Application"),
                                                       QStringLiteral("Activate"));
    call << platformData;
    const QDBusMessage reply = m_bus.call(call, QDBus::Block, timeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage ? QString() : reply.errorMessage();
}

int SingleInstance::handOverToFirst()
{
    const QString error = activateFirst();
    if (error.isEmpty()) {
        std::fprintf(stderr, "pelmora: %s\n", qPrintable(tr("already running in this session; opened its panel.")));
        return 0;
    }
    // It quit between our claim and our call: be the one instead.
    if (claim() == Claim::first)
        return -1;
    std::fprintf(stderr, "pelmora: %s\n",
                 qPrintable(tr("already running in this session, but it did not answer (%1).").arg(error)));
    return 1;
}

void SingleInstance::activate(const QVariantMap &platformData)
{
    Q_UNUSED(platformData);
    Q_EMIT activationRequested();
}

void SingleInstance::activateAction(const QString &name)
{
    if (calledFromDBus())
        sendErrorReply(QDBusError::NotSupported, QStringLiteral("no action %1").arg(name));
}

} // namespace pelmora

#include "SingleInstance.moc"
