// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QDBusArgument>
#include <QImage>
#include <QList>
#include <QMetaType>
#include <QString>

// Value types of the StatusNotifierItem protocol and their D-Bus marshalling.
namespace pelmora {

// One icon image, (iiay): width, height and ARGB32 pixels, each pixel 4 bytes
// in network byte order (A, R, G, B), not premultiplied.
struct SniIconPixmap {
    int width = 0;
    int height = 0;
    QByteArray bytes;
};
using SniIconPixmapList = QList<SniIconPixmap>;

// (sa(iiay)ss): icon name, icon images, title, description.
struct SniToolTip {
    QString iconName;
    SniIconPixmapList iconPixmaps;
    QString title;
    QString description;
};

SniIconPixmap toSniIconPixmap(const QImage &image);
QImage fromSniIconPixmap(const SniIconPixmap &pixmap); // a null image when the data is inconsistent

// Registers the types above with QtDBus; idempotent. Call before exporting or reading them.
void registerStatusNotifierTypes();

QDBusArgument &operator<<(QDBusArgument &argument, const SniIconPixmap &pixmap);
const QDBusArgument &operator>>(const QDBusArgument &argument, SniIconPixmap &pixmap);
QDBusArgument &operator<<(QDBusArgument &argument, const SniToolTip &toolTip);
const QDBusArgument &operator>>(const QDBusArgument &argument, SniToolTip &toolTip);

} // namespace pelmora

Q_DECLARE_METATYPE(pelmora::SniIconPixmap)
Q_DECLARE_METATYPE(pelmora::SniToolTip)
