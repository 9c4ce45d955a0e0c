// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

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

class StatusNotifierItem;
class XEmbedTrayIcon;

// The program's item in the desktop panel, showing the status title.
//
// Where a panel runs org.kde.StatusNotifierWatcher the item is our own
// StatusNotifierItem (with a com.canonical.dbusmenu menu); otherwise, on X11,
// an XEmbed tray icon; otherwise there is no item and mode() is none. The
// item follows the desktop: a watcher that appears later, or comes back after
// a panel restart, gets the item again, and modeChanged() reports each switch.
// Needs a QApplication (the fallback icon and the menu are widgets).
class TrayItem : public QObject {
    Q_OBJECT

public:
    enum class Mode { statusNotifier, xembed, none };
    Q_ENUM(Mode)

    struct Options {
        std::optional<QDBusConnection> bus{};    // default: the session bus
        QString serviceName{};                   // default: org.kde.StatusNotifierItem-<pid>-<n>
        std::optional<Mode> forcedMode{};        // no detection and no switching
        std::optional<bool> hostDrawsLabels{};   // default: detected from the desktop and the bus
        std::chrono::milliseconds watcherGrace{3000}; // a restarting panel's watcher may be gone this long
        std::chrono::milliseconds trayPollInterval{2000}; // XEmbed trays announce nothing we can watch
    };

    explicit TrayItem(QObject *parent = nullptr);
    explicit TrayItem(Options options, QObject *parent = nullptr);
    ~TrayItem() override;

    Mode mode() const { return m_mode; }
    QString title() const { return m_title; }

    // "--/--" until the first call. Nothing is redrawn or signalled when the text is unchanged.
    void setTitle(const QString &title);

    // The StatusNotifierItem's bus name, empty when nothing could be exported.
    QString serviceName() const;

Q_SIGNALS:
    // A left click on the item. `anchor` is the host's click point in global
    // device-independent coordinates when the host gives one, else the icon's
    // centre when known, else a null QPoint (then use the cursor position).
    void activated(QPoint anchor);
    void openRequested(); // menu "Open Pelmora"
    void quitRequested(); // menu "Quit"
    void modeChanged(pelmora::TrayItem::Mode mode);

private:
    bool watcherPresent() const;
    Mode detectMode() const;
    void applyMode(Mode mode);
    void onWatcherOwnerChanged(const QString &newOwner);
    void onRegistrationFinished(bool ok);
    void pollXEmbedTray();
    void buildMenu();

    Options m_options;
    QDBusConnection m_bus;
    QString m_title;
    Mode m_mode = Mode::none;
    StatusNotifierItem *m_sni = nullptr;
    XEmbedTrayIcon *m_xembed = nullptr;
    QPointer<QMenu> m_menu;
    QDBusServiceWatcher *m_watcherWatch = nullptr;
    QTimer *m_graceTimer = nullptr;
    QTimer *m_pollTimer = nullptr;
};

} // namespace pelmora
