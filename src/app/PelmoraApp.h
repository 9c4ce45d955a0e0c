// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "ItemLocator.h"
#include "tray/TrayItem.h"

#include <QObject>
#include <QPoint>

#include <memory>

namespace pelmora {

class MetricsStore;
class PopoverView;
class PopoverWindow;
class ShellOverview;

// The running program: the one store, the tray item that shows its title,
// and the popover window the item opens. Without any tray host (after the
// item's grace period) the popover is an ordinary window whose close ends the
// program, and it goes back into the item as soon as a host appears.
// Needs a QApplication.
class PelmoraApp : public QObject {
    Q_OBJECT
public:
    struct Options {
        bool forceWindow = false; // no tray item: the popover is an ordinary window
    };

    explicit PelmoraApp(Options options, QObject *parent = nullptr);
    ~PelmoraApp() override;

    MetricsStore &store() const { return *m_store; }
    TrayItem *trayItem() const { return m_tray; }
    PopoverWindow *window() const { return m_window; }
    PopoverView *popover() const { return m_view; }

    // Opens the panel where a click on the item opens it, or raises the
    // window; out of GNOME Shell's overview first, which would hide it.
    void openPanel();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void followTray(TrayItem::Mode mode);
    ItemLocator::Desktop desktop() const;
    TraySpot traySpot() const;

    std::unique_ptr<MetricsStore> m_store;
    ShellOverview *m_overview;
    TrayItem *m_tray = nullptr;
    PopoverWindow *m_window = nullptr;
    PopoverView *m_view = nullptr;
    std::unique_ptr<ItemLocator> m_locator;
    bool m_announcedNoTray = false;
};

} // namespace pelmora
