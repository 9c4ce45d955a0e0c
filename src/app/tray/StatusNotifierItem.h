// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "app/tray/StatusNotifierTypes.h"
#include "app/tray/TrayIconRenderer.h"
#include "app/tray/TrayTexts.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusObjectPath>
#include <QElapsedTimer>
#include <QObject>
#include <QPoint>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

class QDBusPendingCallWatcher;
class QTimer;

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
    // How the watcher answered a call: yes, no (an error), or not at all
    // within the timeout.
    enum class Answer { accepted, refused, silent };
    Q_ENUM(Answer)

    StatusNotifierItem(const QDBusConnection &bus, const QString &serviceName, QObject *parent = nullptr);
    ~StatusNotifierItem() override;

    // Owns the service name and exports the item and its menu; false if the bus refuses.
    bool publish();
    bool isPublished() const { return m_published; }
    QString serviceName() const { return m_serviceName; }
    DBusMenuExporter *menu() const { return m_menu; }

    // Every call to the watcher is asynchronous (a panel that hangs must not
    // hang us) and waits at most this long for the answer.
    void setWatcherTimeout(std::chrono::milliseconds timeout) { m_watcherTimeout = timeout; }

    // Asks the watcher to show the item; the answer arrives as registrationFinished().
    // Only the latest registration is answered: a watcher that has since gone
    // (or hung) may time out after its successor accepted the item.
    void registerWithWatcher(Registration registration);
    // Asks the watcher for RegisteredStatusNotifierItems; the answer arrives
    // as registeredItemsRead(), `refused` when the watcher did not tell.
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

    // Each IconPixmap answer puts some 16 KB into a reply that libdbus copies
    // and queues. Thousands of calls at once (a host gone wild, or any
    // client) queue thousands of them; once sent and freed they stay in the C
    // library's heap as resident memory. So after such a burst (this many
    // answers, each within a second of the last) is over for a second, the
    // free heap pages go back to the system.
    static constexpr int replyBurst = 64;
    void noteLargeReply() const;
    SniToolTip toolTip() const;

Q_SIGNALS:
    // `caller`: the host's unique name on the bus.
    void activated(QPoint point, const QString &caller);
    void contextMenuRequested(QPoint point);
    void registrationFinished(pelmora::StatusNotifierItem::Answer answer);
    void registeredItemsRead(pelmora::StatusNotifierItem::Answer answer, const QStringList &items);

private:
    QDBusPendingCallWatcher *callWatcher(const QDBusMessage &call);

    QDBusConnection m_bus;
    std::chrono::milliseconds m_watcherTimeout{5000};
    QString m_serviceName;
    TrayStatus m_status;
    TrayIconRenderer::Face m_face = TrayIconRenderer::Face::title;
    std::optional<QString> m_frozenToolTip; // the tooltip as it was when frozen
    // Drawn when a host asks, not on every change: with no host listening
    // (XEmbed, or while waiting for one) nothing is drawn at all.
    mutable SniIconPixmapList m_icons;
    mutable int m_burstReplies = 0;
    mutable QElapsedTimer m_lastLargeReply;
    QTimer *m_trimTimer;
    StatusNotifierItemAdaptor *m_adaptor;
    DBusMenuExporter *m_menu;
    bool m_published = false;
    quint64 m_registrations = 0; // sent so far; the answers of all but the last are dropped

    friend class StatusNotifierItemAdaptor;
};

} // namespace pelmora
