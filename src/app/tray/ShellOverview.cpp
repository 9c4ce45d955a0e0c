// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/tray/ShellOverview.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QTimer>

namespace pelmora {
namespace {

const QString shellService = QStringLiteral("org.gnome.Shell");
const QString shellPath = QStringLiteral("/org/gnome/Shell");
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

QDBusMessage shellCall(const QString &method)
{
    QDBusMessage call = QDBusMessage::createMethodCall(shellService, shellPath, propertiesInterface, method);
    call.setAutoStartService(false); // never start a shell, only ask a running one
    return call;
}

} // namespace

ShellOverview::ShellOverview(const QDBusConnection &bus, QObject *parent)
    : QObject(parent), m_bus(bus), m_poll(new QTimer(this)), m_patience(new QTimer(this))
{
    // The property turns false once the overview's closing animation is over.
    m_poll->setInterval(100);
    connect(m_poll, &QTimer::timeout, this, [this] {
        askActive([this](bool active) {
            if (!active)
                finish();
        });
    });
    m_patience->setSingleShot(true);
    connect(m_patience, &QTimer::timeout, this, &ShellOverview::finish);
}

void ShellOverview::leaveThen(std::function<void()> done, std::chrono::milliseconds patience)
{
    const bool waiting = bool(m_done);
    m_done = std::move(done);
    if (waiting)
        return;
    m_patience->start(patience);
    askActive([this](bool active) {
        if (!active) {
            finish();
            return;
        }
        QDBusMessage set = shellCall(QStringLiteral("Set"));
        set << shellService << QStringLiteral("OverviewActive") << QVariant::fromValue(QDBusVariant(false));
        m_bus.asyncCall(set);
        m_poll->start();
    });
}

void ShellOverview::askActive(const std::function<void(bool)> &answer)
{
    QDBusMessage get = shellCall(QStringLiteral("Get"));
    get << shellService << QStringLiteral("OverviewActive");
    // Asynchronous: a busy shell must not freeze the tray item.
    auto *pending = new QDBusPendingCallWatcher(m_bus.asyncCall(get, 1000), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [pending, answer] {
        pending->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *pending;
        // No shell, or one that does not tell: nothing hides the panel.
        answer(reply.isValid() && reply.value().variant().toBool());
    });
}

void ShellOverview::finish()
{
    m_poll->stop();
    m_patience->stop();
    if (const std::function<void()> done = std::exchange(m_done, {}))
        done();
}

} // namespace pelmora
