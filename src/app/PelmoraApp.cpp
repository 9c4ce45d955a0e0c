// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "PelmoraApp.h"

#include "PopoverWindow.h"
#include "platform/BusPeerProgram.h"
#include "platform/X11WindowManager.h"
#include "stores/MetricsStore.h"
#include "tray/ShellOverview.h"
#include "tray/StatusNotifierWatcherNames.h"
#include "tray/TrayItem.h"
#include "views/PopoverView.h"
#include "wayland/WaybarConfig.h"

#include <QApplication>
#include <QCursor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QEvent>
#include <QScreen>
#include <QStandardPaths>

#include <cstdio>

namespace pelmora {
namespace {

// $XDG_CONFIG_HOME/pelmora/pelmora.conf, as the README and the manual say;
// earlier versions wrote pelmora.ini beside it.
SettingsLocation userSettings()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/pelmora/");
    return SettingsLocation{folder + QStringLiteral("pelmora.conf"), folder + QStringLiteral("pelmora.ini")};
}

// The real machine, every 5 s. PELMORA_TESTING_REFRESH_INTERVAL_MS (10 or
// more) refreshes faster, for end-to-end tests and soak benchmarks that need
// many refreshes of the real program; it is no setting for users.
MetricsStore::Options storeOptions()
{
    MetricsStore::Options options;
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("PELMORA_TESTING_REFRESH_INTERVAL_MS", &ok);
    if (ok && ms >= 10)
        options.refreshInterval = std::chrono::milliseconds(ms);
    return options;
}

} // namespace

PelmoraApp::PelmoraApp(Options options, QObject *parent)
    : QObject(parent)
    , m_store(std::make_unique<MetricsStore>(storeOptions()))
    , m_overview(new ShellOverview(QDBusConnection::sessionBus(), this))
{
    m_window = new PopoverWindow(options.forceWindow ? PopoverWindow::Style::window : PopoverWindow::Style::panel);
    m_view = new PopoverView(*m_store, userSettings());
    m_window->setContent(m_view);
    connect(m_view, &PopoverView::closeRequested, m_window, &QWidget::close);
    connect(m_view, &PopoverView::quitRequested, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    // A quit that asked something makes room for the application's answer: the
    // panel sits above every window and takes the first click. (A window of
    // its own sits below the application's windows, which come forward.)
    connect(m_store.get(), &MetricsStore::quitAnswered, m_window, [this](const QuitOutcome &outcome) {
        if (outcome.kind == QuitOutcome::Kind::asked && m_window->style() == PopoverWindow::Style::panel
            && m_window->isVisible())
            m_window->close();
    });
    m_locator = std::make_unique<ItemLocator>(desktop());
    // As a window it is all there is of the program, so closing it ends the
    // program; as a panel it only closes. (The tray menu is a window too, so
    // Qt's last-window rule cannot tell these apart.)
    QApplication::setQuitOnLastWindowClosed(false);
    connect(m_window, &PopoverWindow::closed, this, [this] {
        if (m_window->style() == PopoverWindow::Style::window)
            QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    });

    if (options.forceWindow) {
        m_window->openAt(ItemAnchor());
        return;
    }

    TrayItem::Options trayOptions;
    // How the item introduces itself to the watcher, for a host that keeps one form better than the other.
    const QString registration = qEnvironmentVariable("PELMORA_TRAY_REGISTRATION");
    if (registration == u"name")
        trayOptions.registration = TrayItem::Registration::serviceName;
    else if (registration == u"path")
        trayOptions.registration = TrayItem::Registration::objectPath;
    m_tray = new TrayItem(trayOptions, this);
    m_tray->setFigures(m_store->statusFigures());
    connect(m_store.get(), &MetricsStore::statusFiguresChanged, m_tray,
            [this] { m_tray->setFigures(m_store->statusFigures()); });
    connect(m_tray, &TrayItem::activated, this, [this](QPoint point, const QString &caller) {
        const platform::ProcRoot proc;
        const QString host = platform::busPeerProgram(QDBusConnection::sessionBus(), caller, proc);
        const ItemAnchor anchor = m_locator->activated(point, host);
        m_overview->leaveThen([this, anchor] { m_window->toggle(anchor); });
    });
    connect(m_tray, &TrayItem::openRequested, this, &PelmoraApp::openPanel);
    connect(m_tray, &TrayItem::quitRequested, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    connect(m_tray, &TrayItem::modeChanged, this, &PelmoraApp::followTray);
    followTray(m_tray->mode());
    m_window->installEventFilter(this); // the item keeps its tooltip out of the open panel's way
}

bool PelmoraApp::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window && (event->type() == QEvent::Show || event->type() == QEvent::Hide))
        m_tray->setPanelOpen(event->type() == QEvent::Show);
    return QObject::eventFilter(watched, event);
}

PelmoraApp::~PelmoraApp()
{
    delete m_window; // owns the view, which refers to the store
}

void PelmoraApp::openPanel()
{
    m_overview->leaveThen([this] {
        if (m_window->style() == PopoverWindow::Style::window && m_window->isVisible()) {
            m_window->raise();
            m_window->activateWindow();
            return;
        }
        m_window->openAt(m_locator->remembered());
    });
}

void PelmoraApp::followTray(TrayItem::Mode mode)
{
    switch (mode) {
    case TrayItem::Mode::searching:
        break; // a host may be starting or restarting: keep things as they are until it does or the grace ends
    case TrayItem::Mode::none:
        if (!m_announcedNoTray) {
            m_announcedNoTray = true;
            std::fprintf(stderr, "pelmora: %s\n",
                         qPrintable(tr("no system tray found; showing the panel as a window.")));
        }
        if (m_window->style() != PopoverWindow::Style::window) {
            m_window->setStyle(PopoverWindow::Style::window);
            m_window->openAt(ItemAnchor());
        }
        break;
    case TrayItem::Mode::statusNotifier:
    case TrayItem::Mode::xembed:
        m_window->setStyle(PopoverWindow::Style::panel); // the item is back: no window of its own
        break;
    }
}

ItemLocator::Desktop PelmoraApp::desktop() const
{
    ItemLocator::Desktop desktop;
    desktop.x11 = QGuiApplication::platformName() == u"xcb";
    // Under XWayland the X pointer stays where it last left an X window.
    desktop.pointerTrusted = m_window->panelKind() == PopoverWindow::PanelKind::popup;
    if (desktop.x11)
        desktop.pointer = [] { return QCursor::pos(); };
    desktop.x11WindowManager = [] { return QString::fromStdString(platform::x11WindowManagerName()); };
    desktop.traySpot = [this] { return traySpot(); };
    return desktop;
}

TraySpot PelmoraApp::traySpot() const
{
    // waybar's configuration says where its tray is; other bars show it by
    // the strip they reserve, and keep the tray at their end.
    QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
    const QString watcher = bus ? bus->serviceOwner(QLatin1String(sni::watcherService)).value() : QString();
    const platform::ProcRoot proc;
    if (!watcher.isEmpty() && platform::busPeerProgram(QDBusConnection::sessionBus(), watcher, proc) == u"waybar") {
        QStringList folders{QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)};
        for (const QString &folder :
             qEnvironmentVariable("XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg")).split(u':', Qt::SkipEmptyParts))
            folders << folder;
        if (const auto spot = readWaybarTraySpot(folders))
            return *spot;
    }
    TraySpot spot;
    if (QScreen *screen = QGuiApplication::primaryScreen())
        spot.edge = reservedEdge(m_window->placer().freeArea(*screen), screen->geometry());
    return spot;
}

} // namespace pelmora
