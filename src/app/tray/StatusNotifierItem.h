// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "app/tray/StatusNotifierTypes.h"
#include "app/tray/TrayIconRenderer.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusObjectPath>
#include <QObject>
#include <QPoint>
#include <QString>
#include <QStringList>

namespace pelmora {

class DBusMenuExporter;
class StatusNotifierItemAdaptor;

// Our org.kde.StatusNotifierItem on one bus: the exported object at
// /StatusNotifierItem under a name of its own, its menu at /MenuBar, and the
// registration with org.kde.StatusNotifierWatcher. (QtDBus tells the calls its
// adaptor takes through the adaptor's parent: this.)
class StatusNotifierItem : public QObject, protected QDBusContext {
    Q_OBJECT

public:
    static constexpr const char *objectPath = "/StatusNotifierItem";
    static constexpr const char *menuPath = "/MenuBar";

    // What the watcher is given: our bus name (the watcher assumes
    // /StatusNotifierItem), or our object path (the watcher takes the caller's
    // unique name). Both are in the protocol; hosts keep them differently.
    enum class Registration { serviceName, objectPath };
    Q_ENUM(Registration)

    StatusNotifierItem(const QDBusConnection &bus, const QString &serviceName, QObject *parent = nullptr);
    ~StatusNotifierItem() override;

    // Owns the service name and exports the item and its menu; false if the bus refuses.
    bool publish();
    bool isPublished() const { return m_published; }
    QString serviceName() const { return m_serviceName; }
    DBusMenuExporter *menu() const { return m_menu; }

    // Asks the watcher to show the item. Asynchronous: a panel that hangs must
    // not hang us. The answer arrives as registrationFinished().
    void registerWithWatcher(Registration registration);
    // Asks the watcher for RegisteredStatusNotifierItems; the answer arrives
    // as registeredItemsRead(), `ok` false when the watcher did not tell.
    void readRegisteredItems();

    // The status title drives the label, the tooltip and, with Face::title, the icon.
    // Change signals go out only when the text (or face) actually changed.
    void setTitle(const QString &title);
    void setFace(TrayIconRenderer::Face face);
    QString title() const { return m_title; }
    TrayIconRenderer::Face face() const { return m_face; }

    // What the adaptor publishes.
    SniIconPixmapList iconPixmaps() const;
    SniToolTip toolTip() const;

Q_SIGNALS:
    // `caller`: the host's unique name on the bus.
    void activated(QPoint point, const QString &caller);
    void contextMenuRequested(QPoint point);
    void registrationFinished(bool ok);
    void registeredItemsRead(bool ok, const QStringList &items);

private:

    QDBusConnection m_bus;
    QString m_serviceName;
    QString m_title;
    TrayIconRenderer::Face m_face = TrayIconRenderer::Face::title;
    // Drawn when a host asks, not on every change: with no host listening
    // (XEmbed, or while waiting for one) nothing is drawn at all.
    mutable SniIconPixmapList m_icons;
    StatusNotifierItemAdaptor *m_adaptor;
    DBusMenuExporter *m_menu;
    bool m_published = false;

    friend class StatusNotifierItemAdaptor;
};

} // namespace pelmora
