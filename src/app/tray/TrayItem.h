// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "app/tray/StatusNotifierItem.h"
#include "app/tray/TrayTexts.h"

#include <QDBusConnection>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>

#include <chrono>
#include <optional>

class QDBusServiceWatcher;
class QMenu;
class QTimer;

namespace pelmora {

class XEmbedTrayIcon;

// The program's item in the desktop panel, showing the status title.
//
// Where a panel runs org.kde.StatusNotifierWatcher the item is our own
// StatusNotifierItem (with a com.canonical.dbusmenu menu); otherwise, on X11,
// an XEmbed tray icon. The mode is `statusNotifier` once the watcher has
// accepted the item. The item keeps itself there: a watcher that appears
// later or comes back after a panel restart gets it again, and a watcher that
// drops it (or never lists it) gets it again after a short back-off. While no
// host has taken the item the mode is `searching` for a grace period, so a
// panel that starts late or restarts slowly does not cause a fallback; only
// after that is the mode `none` (or `xembed`). A watcher that does not answer
// within its timeout counts as no host: it is asked again a bounded number of
// times, and takes the item whenever it does answer. modeChanged() reports each
// switch. Needs a QApplication (the fallback icon and the menu are widgets).
class TrayItem : public QObject {
    Q_OBJECT

public:
    enum class Mode { statusNotifier, xembed, searching, none };
    Q_ENUM(Mode)
    using Registration = StatusNotifierItem::Registration;

    struct Options {
        std::optional<QDBusConnection> bus{}; // default: the session bus
        QString serviceName{}; // default: org.kde.StatusNotifierItem-<pid>-<n>
        std::optional<Mode> forcedMode{}; // no detection and no switching
        std::optional<bool> hostDrawsLabels{}; // default: detected from the desktop and the bus
        // How the watcher is told about the item; see StatusNotifierItem::Registration.
        Registration registration = Registration::objectPath;
        std::chrono::milliseconds hostGrace{10000}; // no host for this long: fall back
        // Every call to the watcher waits this long for its answer at most.
        std::chrono::milliseconds watcherTimeout{5000};
        std::chrono::milliseconds trayPollInterval{1000}; // XEmbed trays announce nothing we can watch
        // A registration the watcher drops, refuses or leaves unanswered is
        // repeated after retryDelay, doubling each time, at most retryLimit
        // times in a row; then the mode is none.
        std::chrono::milliseconds retryDelay{250};
        int retryLimit = 6;
        // A watcher may accept an item and drop it a moment later: the list is checked this long after.
        std::chrono::milliseconds confirmDelay{2500};
    };

    explicit TrayItem(QObject *parent = nullptr);
    explicit TrayItem(Options options, QObject *parent = nullptr);
    ~TrayItem() override;

    Mode mode() const { return m_mode; }

    // The figures of the title and the tooltip; none shows "--/--". Nothing is
    // redrawn or signalled when the texts are unchanged.
    void setFigures(const std::optional<StatusFigures> &figures);
    // While the panel is open no host may show the item's tooltip: it would
    // cover the panel and, held by the panel's pointer grab, go stale. Hosts
    // hide it on the click that opens the panel; Xfce's shows it again as
    // soon as the tooltip it reads differs (an empty one too: it then shows
    // the item's Title), so the StatusNotifierItem's tooltip stays as it was
    // until the panel closes. The XEmbed icon, whose tooltip Qt shows, has
    // none meanwhile.
    void setPanelOpen(bool open);

    // The StatusNotifierItem's bus name, empty when nothing could be exported.
    QString serviceName() const;
    // Registrations sent to watchers so far (the first one included).
    int registrationCount() const { return m_registrations; }

Q_SIGNALS:
    // A left click on the item. `anchor` is the host's click point when the
    // host gives one (see ItemLocator for what it means), else the icon's
    // centre when known, else a null QPoint; `host` is the host's unique name
    // on the bus (empty for an XEmbed tray).
    void activated(QPoint anchor, const QString &host);
    void openRequested(); // menu "Open Pelmora"
    void quitRequested(); // menu "Quit"
    void modeChanged(pelmora::TrayItem::Mode mode);

private Q_SLOTS:
    // The watcher's own signal (connected by name through QtDBus).
    void onItemUnregistered(const QString &item);

private:
    bool watcherPresent() const;
    Mode fallbackHost() const; // xembed or none: what shows while no watcher has taken the item
    void applyMode(Mode mode);
    void onWatcherOwnerChanged(const QString &newOwner);
    void seekWatcher(); // a registration from the start; the mode follows the answer
    void registerNow();
    void onRegistrationFinished(StatusNotifierItem::Answer answer);
    void confirmRegistration();
    void retryRegistration();
    bool isOurs(const QString &item) const;
    void pollXEmbedTray();
    void buildMenu();
    void updateFace();

    Options m_options;
    QDBusConnection m_bus;
    TrayStatus m_status;
    Mode m_mode = Mode::none;
    StatusNotifierItem *m_sni = nullptr;
    XEmbedTrayIcon *m_xembed = nullptr;
    QPointer<QMenu> m_menu;
    QDBusServiceWatcher *m_watcherWatch = nullptr;
    QTimer *m_graceTimer = nullptr;
    QTimer *m_pollTimer = nullptr;
    QTimer *m_retryTimer = nullptr;
    QTimer *m_confirmTimer = nullptr;
    int m_retries = 0; // in a row, since the item was last seen listed
    int m_registrations = 0;
    bool m_panelOpen = false;
};

} // namespace pelmora
