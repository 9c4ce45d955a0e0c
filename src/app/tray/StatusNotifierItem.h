// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "app/tray/StatusNotifierTypes.h"
#include "app/tray/TrayIconRenderer.h"
#include "app/tray/TrayTexts.h"

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QObject>
#include <QPoint>
#include <QString>
#include <QStringList>

#include <optional>

namespace pelmora {

class DBusMenuExporter;
class StatusNotifierItemAdaptor;

// Our org.kde.StatusNotifierItem on one bus: the exported object at
// /StatusNotifierItem under a name of its own, its menu at /MenuBar, and the
// registration with org.kde.StatusNotifierWatcher.
class StatusNotifierItem : public QObject {
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

    // The title drives the label and, with Face::title, the icon; the tooltip
    // comes with it. Change signals go out only when the texts (or face)
    // actually changed.
    void setStatus(const TrayStatus &status);
    void setFace(TrayIconRenderer::Face face);
    QString title() const { return m_status.title; }
    TrayIconRenderer::Face face() const { return m_face; }
    // While frozen the ToolTip keeps the figures it had when frozen, whatever
    // the title does: a host that sees it change shows it again (Xfce's,
    // which re-reads it on any New* signal). Thawing brings it up to date
    // and says so with NewToolTip.
    void freezeToolTip(bool frozen);

    // What the adaptor publishes.
    SniIconPixmapList iconPixmaps() const;
    SniToolTip toolTip() const;

Q_SIGNALS:
    void activated(QPoint point);
    void contextMenuRequested(QPoint point);
    void registrationFinished(bool ok);
    void registeredItemsRead(bool ok, const QStringList &items);

private:

    QDBusConnection m_bus;
    QString m_serviceName;
    TrayStatus m_status;
    TrayIconRenderer::Face m_face = TrayIconRenderer::Face::title;
    std::optional<QString> m_frozenToolTip; // the tooltip as it was when frozen
    // Drawn when a host asks, not on every change: with no host listening
    // (XEmbed, or while waiting for one) nothing is drawn at all.
    mutable SniIconPixmapList m_icons;
    StatusNotifierItemAdaptor *m_adaptor;
    DBusMenuExporter *m_menu;
    bool m_published = false;

    friend class StatusNotifierItemAdaptor;
};

} // namespace pelmora
