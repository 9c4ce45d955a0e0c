// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SessionBusActions.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>
#include <QFileInfo>
#include <QHash>

#include <fcntl.h>

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

struct ConnectionSearch {
    std::function<void(QList<BusConnection>)> done;
    QHash<QString, BusConnection> byUniqueName;
    int pending = 0;

    void finishOne()
    {
        if (--pending > 0)
            return;
        QList<BusConnection> connections;
        connections.reserve(byUniqueName.size());
        for (BusConnection &connection : byUniqueName) {
            connection.names.sort();
            connections.append(std::move(connection));
        }
        done(std::move(connections));
    }
};

// GetConnectionCredentials' a{sv}; QtDBus hands a received map over either
// demarshalled or still marshalled.
QVariantMap credentialsOf(const QDBusMessage &reply)
{
    if (!isReply(reply, "a{sv}"))
        return {};
    const QVariant argument = reply.arguments().constFirst();
    if (argument.canConvert<QDBusArgument>())
        return qdbus_cast<QVariantMap>(argument.value<QDBusArgument>());
    return argument.toMap();
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A D-Bus address value: bytes other than a few are written %XX.
std::optional<std::string> unescaped(std::string_view value)
{
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '%') {
            out += value[i];
            continue;
        }
        if (i + 2 >= value.size())
            return std::nullopt;
        const int high = hexDigit(value[i + 1]), low = hexDigit(value[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        out += char(high * 16 + low);
        i += 2;
    }
    return out;
}

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
    return SessionBusActions(
        bus, busSocketName(qgetenv("DBUS_SESSION_BUS_ADDRESS").toStdString(), runtimeDir.toStdString()));
}

void SessionBusActions::listConnections(std::function<void(QList<BusConnection>)> done) const
{
    auto search = std::make_shared<ConnectionSearch>();
    search->done = std::move(done);
    const QDBusConnection bus = m_bus;
    callAsync(bus, busCall(QStringLiteral("ListNames")), -1, [bus, search](const QDBusMessage &reply) {
        QStringList names;
        if (isReply(reply, "as"))
            names = reply.arguments().constFirst().toStringList();
        names.removeAll(busService);
        if (names.isEmpty())
            return search->done({});
        // Unique names for the processes, well-known names for their owners.
        search->pending = int(names.size());
        for (const QString &name : std::as_const(names)) {
            if (name.startsWith(u':')) {
                search->byUniqueName[name].uniqueName = name;
                callAsync(bus, busCall(QStringLiteral("GetConnectionUnixProcessID"), {name}), -1,
                          [search, name](const QDBusMessage &pid) {
                              if (isReply(pid, "u"))
                                  search->byUniqueName[name].pid = pid.arguments().constFirst().toUInt();
                              search->finishOne();
                          });
            } else {
                callAsync(bus, busCall(QStringLiteral("GetNameOwner"), {name}), -1,
                          [search, name](const QDBusMessage &owner) {
                              if (isReply(owner, "s")) {
                                  const QString unique = owner.arguments().constFirst().toString();
                                  search->byUniqueName[unique].uniqueName = unique;
                                  search->byUniqueName[unique].names.append(name);
                              }
                              search->finishOne();
                          });
            }
        }
    });
}

void SessionBusActions::processOf(const QString &uniqueName, int timeoutMs, std::function<void(BusProcess)> done) const
{
    callAsync(m_bus, busCall(QStringLiteral("GetConnectionCredentials"), {uniqueName}), timeoutMs,
              [done = std::move(done)](const QDBusMessage &reply) {
                  BusProcess process;
                  const QVariantMap credentials = credentialsOf(reply);
                  process.answered = !credentials.isEmpty();
                  const QVariant fd = credentials.value(QStringLiteral("ProcessFD"));
                  if (fd.canConvert<QDBusUnixFileDescriptor>()) {
                      // The message's copy closes with it: keep one of our own.
                      const int own = ::fcntl(fd.value<QDBusUnixFileDescriptor>().fileDescriptor(), F_DUPFD_CLOEXEC, 0);
                      process.handle = ProcessHandle::adopt(own);
                  }
                  done(std::move(process));
              });
}

void SessionBusActions::describeAction(const QString &uniqueName, const QString &objectPath, const QString &action,
                                       int timeoutMs, std::function<void(std::optional<ActionDescription>)> done) const
{
    QDBusMessage describe = QDBusMessage::createMethodCall(uniqueName, objectPath, actionsInterface,
                                                           QStringLiteral("Describe"));
    describe << action;
    callAsync(m_bus, describe, timeoutMs,
              [done = std::move(done)](const QDBusMessage &reply) { done(parseDescription(reply)); });
}

void SessionBusActions::activateAction(const QString &uniqueName, const QString &objectPath,
                                       const QString &action) const
{
    QDBusMessage activate = QDBusMessage::createMethodCall(uniqueName, objectPath, actionsInterface,
                                                           QStringLiteral("Activate"));
    activate << action << QVariant::fromValue(QVariantList()) << QVariant::fromValue(QVariantMap());
    activate.setAutoStartService(false);
    m_bus.send(activate);
}

std::string busSocketName(std::string_view address, std::string_view runtimeDir)
{
    if (address.empty())
        return runtimeDir.empty() ? std::string() : std::string(runtimeDir) + "/bus";
    while (!address.empty()) {
        const std::size_t end = std::min(address.find(';'), address.size());
        std::string_view entry = address.substr(0, end);
        address.remove_prefix(std::min(end + 1, address.size()));
        constexpr std::string_view unixTransport = "unix:";
        if (!entry.starts_with(unixTransport))
            continue;
        entry.remove_prefix(unixTransport.size());
        while (!entry.empty()) {
            const std::size_t comma = std::min(entry.find(','), entry.size());
            const std::string_view pair = entry.substr(0, comma);
            entry.remove_prefix(std::min(comma + 1, entry.size()));
            const std::size_t equals = pair.find('=');
            if (equals == std::string_view::npos)
                continue;
            const std::string_view key = pair.substr(0, equals);
            const std::optional<std::string> value = unescaped(pair.substr(equals + 1));
            if (!value || value->empty() || value->find('\0') != std::string::npos)
                continue;
            if (key == "path")
                return *value;
            if (key == "abstract")
                return '@' + *value;
        }
    }
    return {};
}

} // namespace pelmora::platform
