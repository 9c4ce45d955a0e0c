// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QString>
#include <QVariantMap>

namespace pelmora {

// One program per session: the first start owns the application id on the
// session bus and serves org.freedesktop.Application at /org/pelmora/Pelmora;
// a later start asks it to open its panel and ends.
class SingleInstance : public QObject, protected QDBusContext {
    Q_OBJECT

public:
    static constexpr const char *objectPath = "/org/pelmora/Pelmora";
    enum class Claim { first, second, noBus };

    explicit SingleInstance(QObject *parent = nullptr); // the session bus
    explicit SingleInstance(const QDBusConnection &bus, QObject *parent = nullptr);
    ~SingleInstance() override;

    // Exports the interface and takes the name. noBus: there is no session
    // bus, so nothing can tell two starts apart; run anyway.
    Claim claim();

    // As a later start: asks the first to open its panel. Empty when it did,
    // else why not.
    QString activateFirst(int timeoutMs = 5000);

    // Runs a later start to its end: asks the first, says so in one line on
    // standard error and gives the exit status. If the first has gone away
    // meanwhile, this one takes over (returns -1: go on running).
    int handOverToFirst();

    // org.freedesktop.Application, called by QtDBus through the adaptor.
    void activate(const QVariantMap &platformData);
    void activateAction(const QString &name);

Q_SIGNALS:
    // Another start, or a launcher speaking org.freedesktop.Application, asks for the panel.
    void activationRequested();

private:
    QDBusConnection m_bus;
    bool m_owner = false;
};

} // namespace pelmora
