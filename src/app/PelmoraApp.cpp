// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "PelmoraApp.h"

#include "PopoverWindow.h"
#include "stores/MetricsStore.h"
#include "tray/TrayItem.h"
#include "views/PopoverView.h"

#include <QApplication>
#include <QStandardPaths>

#include <cstdio>

namespace pelmora {
namespace {

// $XDG_CONFIG_HOME/pelmora/pelmora.conf, as the README and the manual say;
// earlier versions wrote pelmora.ini beside it.
SettingsLocation userSettings()
{
    const QString folder =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/pelmora/");
    return SettingsLocation{folder + QStringLiteral("pelmora.conf"), folder + QStringLiteral("pelmora.ini")};
}

} // namespace

PelmoraApp::PelmoraApp(Options options, QObject *parent)
    : QObject(parent)
    , m_store(std::make_unique<MetricsStore>())
{
    m_window = new PopoverWindow(options.forceWindow ? PopoverWindow::Style::window : PopoverWindow::Style::panel);
    m_view = new PopoverView(*m_store, userSettings());
    m_window->setContent(m_view);
    connect(m_view, &PopoverView::closeRequested, m_window, &QWidget::close);
    connect(m_view, &PopoverView::quitRequested, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    connect(m_view, &PopoverView::shownHeightChanged, m_window, [this](int) { m_window->adjustSize(); });
    // The window keeps the program alive no longer than the tray item does.
    QApplication::setQuitOnLastWindowClosed(false);

    if (options.forceWindow) {
        useWindowInsteadOfTray(false);
        return;
    }

    m_tray = new TrayItem(this);
    m_tray->setTitle(m_store->statusTitle());
    connect(m_store.get(), &MetricsStore::statusTitleChanged, m_tray,
            [this] { m_tray->setTitle(m_store->statusTitle()); });
    connect(m_tray, &TrayItem::activated, m_window, &PopoverWindow::toggle);
    connect(m_tray, &TrayItem::openRequested, m_window, [this] { m_window->openAt(QPoint()); });
    connect(m_tray, &TrayItem::quitRequested, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    connect(m_tray, &TrayItem::modeChanged, this, [this](TrayItem::Mode mode) {
        if (mode == TrayItem::Mode::none)
            useWindowInsteadOfTray(true);
    });
    if (m_tray->mode() == TrayItem::Mode::none)
        useWindowInsteadOfTray(true);
}

PelmoraApp::~PelmoraApp()
{
    delete m_window; // owns the view, which refers to the store
}

void PelmoraApp::useWindowInsteadOfTray(bool announce)
{
    if (announce && !m_announcedNoTray) {
        m_announcedNoTray = true;
        std::fputs("pelmora: no system tray found; showing the panel as a window.\n", stderr);
    }
    if (!m_window->isVisible())
        m_window->openAt(QPoint());
    // Closing the only window of a trayless session ends the program.
    QApplication::setQuitOnLastWindowClosed(m_tray == nullptr || m_tray->mode() == TrayItem::Mode::none);
}

} // namespace pelmora
