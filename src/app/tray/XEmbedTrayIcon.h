// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "app/tray/TrayTexts.h"

#include <QObject>
#include <QPoint>
#include <QString>

class QMenu;
class QSystemTrayIcon;

namespace pelmora {

// The XEmbed fallback: a QSystemTrayIcon showing the drawn title.
//
// QSystemTrayIcon speaks StatusNotifierItem itself whenever a watcher is on the
// bus when the first one is created (Qt decides that once per process), and
// then loses the click position. So create this only while no watcher exists,
// and do not call QSystemTrayIcon::isSystemTrayAvailable() elsewhere.
class XEmbedTrayIcon : public QObject {
    Q_OBJECT

public:
    // `menu` is shown on a right click; it is not owned.
    explicit XEmbedTrayIcon(QMenu *menu, QObject *parent = nullptr);
    ~XEmbedTrayIcon() override;

    // Whether an XEmbed tray manager is present on this X11 display. Only
    // meaningful under the xcb platform; false elsewhere.
    static bool isTrayAvailable();

    void setStatus(const TrayStatus &status);
    // While false the icon has no tooltip.
    void setToolTipShown(bool shown);

Q_SIGNALS:
    // A left click; the centre of the icon in global device-independent
    // coordinates, or a null point when the tray does not tell.
    void activated(QPoint anchor);

private:
    QSystemTrayIcon *m_icon;
    TrayStatus m_status;
    bool m_toolTipShown = true;
};

} // namespace pelmora
