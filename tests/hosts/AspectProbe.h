// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QRgb>

// A StatusNotifierItem whose icon is a plain magenta bar three times as wide
// as high (at 22 and 44 px high), to see whether a host draws an icon at its
// own aspect ratio.
class AspectProbe : public QObject {
    Q_OBJECT
public:
    static constexpr QRgb marker = 0xffff00ff;

    explicit AspectProbe(const QDBusConnection &bus);
    ~AspectProbe() override;
    // Exports the item under a name of its own and registers it with the watcher.
    bool publish();

private:
    QDBusConnection m_bus;
    QString m_name;
};
