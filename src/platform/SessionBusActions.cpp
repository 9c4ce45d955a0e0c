// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SessionBusActions.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QFileInfo>
#include <QHash>

#include <memory>

namespace pelmora::platform {
namespace {

const QString busService = QStringLiteral("org.freedesktop.DBus");
const QString busPath = QStringLiteral("/org/freedesktop/DBus");
const QString actionsInterface = QStringLiteral("org.gtk.Actions");

// Sends `message` and hands its reply (or error) to `handle`, on this thread.
// The watcher belongs to the application, so one still pending at exit is freed.
void callAsync(const QDBusConnection &bus, QDBusMessage message, int timeoutMs,
               std::function<void(const QDBusMessage &)> handle)
{
    message.setAutoStartService(false);
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(message, timeoutMs), QCoreApplication::instance());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [handle = std::move(handle)](QDBusPendingCallWatcher *finished) {
                         finished->deleteLater();
                         handle(finished->reply());
                     });
}

QDBusMessage busCall(const QString &method, const QVariantList &arguments = {})
{
    QDBusMessage message = QDBusMessage::createMethodCall(busService, busPath, busService, method);
    message.setArguments(arguments);
    return message;
}

bool isReply(const QDBusMessage &reply, const char *signature)
{
    return reply.type() == QDBusMessage::ReplyMessage && reply.signature() == QLatin1String(signature);
}

// Describe's reply, (bgav): whether the action is enabled, its parameter
// type, its state (read past). The type is read as text: QDBusSignature
// warns about the empty one, which is what a plain action has.
std::optional<ActionDescription> parseDescription(const QDBusMessage &reply)
{
    if (!isReply(reply, "(bgav)"))
        return std::nullopt;
    const QDBusArgument argument = reply.arguments().constFirst().value<QDBusArgument>();
    ActionDescription description;
    argument.beginStructure();
    argument >> description.enabled >> description.parameterType;
    argument.beginArray();
    while (!argument.atEnd()) {
        QDBusVariant ignored;
        argument >> ignored;
    }
    argument.endArray();
    argument.endStructure();
    return description;
}

struct PeerSearch {
    std::function<void(QList<BusPeer>)> done;
    QHash<QString, QStringList> namesByOwner;
    QList<BusPeer> peers;
    int pending = 0;
};

} // namespace

std::optional<SessionBusActions> SessionBusActions::connect()
{
    // Without an address libdbus may start a bus of its own (X11 autolaunch);
    // a bus that was not there has no application on it.
    const QString runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")
        && (runtimeDir.isEmpty() || !QFileInfo::exists(runtimeDir + QStringLiteral("/bus"))))
        return std::nullopt;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return std::nullopt;
    return SessionBusActions(bus);
}

void SessionBusActions::listPeers(std::function<void(QList<BusPeer>)> done) const
{
    auto search = std::make_shared<PeerSearch>();
    search->done = std::move(done);
    const QDBusConnection bus = m_bus;

    const auto askPids = [bus, search] {
        if (search->namesByOwner.isEmpty())
            return search->done({});
        search->pending = int(search->namesByOwner.size());
        for (auto it = search->namesByOwner.cbegin(); it != search->namesByOwner.cend(); ++it) {
            callAsync(bus, busCall(QStringLiteral("GetConnectionUnixProcessID"), {it.key()}), -1,
                      [search, owner = it.key(), names = it.value()](const QDBusMessage &reply) mutable {
                          if (isReply(reply, "u")) {
                              names.sort();
                              search->peers.append(BusPeer{owner, names, reply.arguments().constFirst().toUInt()});
                          }
                          if (--search->pending == 0)
                              search->done(std::move(search->peers));
                      });
        }
    };

    callAsync(bus, busCall(QStringLiteral("ListNames")), -1, [bus, search, askPids](const QDBusMessage &reply) {
        QStringList names;
        if (isReply(reply, "as"))
            names = reply.arguments().constFirst().toStringList();
        names.removeIf([](const QString &name) { return name.startsWith(u':') || name == busService; });
        if (names.isEmpty())
            return search->done({});
        search->pending = int(names.size());
        for (const QString &name : std::as_const(names)) {
            callAsync(bus, busCall(QStringLiteral("GetNameOwner"), {name}), -1,
                      [search, askPids, name](const QDBusMessage &owner) {
                          if (isReply(owner, "s"))
                              search->namesByOwner[owner.arguments().constFirst().toString()].append(name);
                          if (--search->pending == 0)
                              askPids();
                      });
        }
    });
}

void SessionBusActions::describeAction(const QString &uniqueName, const QString &objectPath, const QString &action,
                                       int timeoutMs,
                                       std::function<void(std::optional<ActionDescription>)> done) const
{
    QDBusMessage describe =
        QDBusMessage::createMethodCall(uniqueName, objectPath, actionsInterface, QStringLiteral("Describe"));
    describe << action;
    callAsync(m_bus, describe, timeoutMs,
              [done = std::move(done)](const QDBusMessage &reply) { done(parseDescription(reply)); });
}

void SessionBusActions::activateAction(const QString &uniqueName, const QString &objectPath,
                                       const QString &action) const
{
    QDBusMessage activate =
        QDBusMessage::createMethodCall(uniqueName, objectPath, actionsInterface, QStringLiteral("Activate"));
    activate << action << QVariant::fromValue(QVariantList()) << QVariant::fromValue(QVariantMap());
    activate.setAutoStartService(false);
    m_bus.send(activate);
}

} // namespace pelmora::platform
