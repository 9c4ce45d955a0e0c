// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/tray/TrayItem.h"

#include "app/tray/DBusMenuExporter.h"
#include "app/tray/StatusNotifierItem.h"
#include "app/tray/StatusNotifierWatcherNames.h"
#include "app/tray/TrayLabelHost.h"
#include "app/tray/XEmbedTrayIcon.h"

#include <QApplication>
#include <QDBusConnectionInterface>
#include <QDBusServiceWatcher>
#include <QMenu>
#include <QTimer>

#include <atomic>

namespace pelmora {
namespace {

const QString openLabel = QStringLiteral("Open Pelmora");
const QString quitLabel = QStringLiteral("Quit");

QString nextServiceName()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("org.kde.StatusNotifierItem-%1-%2")
        .arg(QCoreApplication::applicationPid())
        .arg(++counter);
}

} // namespace

TrayItem::TrayItem(QObject *parent)
    : TrayItem(Options{}, parent)
{
}

TrayItem::TrayItem(Options options, QObject *parent)
    : QObject(parent)
    , m_options(std::move(options))
    , m_bus(m_options.bus ? *m_options.bus : QDBusConnection::sessionBus())
    , m_title(QStringLiteral("--/--"))
{
    buildMenu();

    const QString serviceName = m_options.serviceName.isEmpty() ? nextServiceName() : m_options.serviceName;
    m_sni = new StatusNotifierItem(m_bus, serviceName, this);
    const int openId = m_sni->menu()->addItem(openLabel);
    const int quitId = m_sni->menu()->addItem(quitLabel);
    connect(m_sni->menu(), &DBusMenuExporter::itemClicked, this, [this, openId, quitId](int id) {
        if (id == openId)
            Q_EMIT openRequested();
        else if (id == quitId)
            Q_EMIT quitRequested();
    });
    connect(m_sni, &StatusNotifierItem::activated, this, &TrayItem::activated);
    connect(m_sni, &StatusNotifierItem::contextMenuRequested, this, [this](QPoint point) {
        if (m_menu)
            m_menu->popup(point);
    });
    connect(m_sni, &StatusNotifierItem::registrationFinished, this, &TrayItem::onRegistrationFinished);

    m_graceTimer = new QTimer(this);
    m_graceTimer->setSingleShot(true);
    m_graceTimer->setInterval(m_options.watcherGrace);
    connect(m_graceTimer, &QTimer::timeout, this, [this] { applyMode(detectMode()); });

    m_pollTimer = new QTimer(this);
    m_pollTimer->setInterval(m_options.trayPollInterval);
    connect(m_pollTimer, &QTimer::timeout, this, &TrayItem::pollXEmbedTray);

    if (m_sni->publish()) {
        const bool labels = m_options.hostDrawsLabels.value_or(TrayLabelHost::detect(m_bus));
        m_sni->setFace(labels ? TrayIconRenderer::Face::glyph : TrayIconRenderer::Face::title);
        if (!m_options.forcedMode) {
            m_watcherWatch = new QDBusServiceWatcher(QLatin1String(sni::watcherService), m_bus,
                                                     QDBusServiceWatcher::WatchForOwnerChange, this);
            connect(m_watcherWatch, &QDBusServiceWatcher::serviceOwnerChanged, this,
                    [this](const QString &, const QString &, const QString &newOwner) { onWatcherOwnerChanged(newOwner); });
        }
    }

    applyMode(detectMode()); // nobody listens yet: callers read mode()
}

TrayItem::~TrayItem()
{
    delete m_menu;
}

QString TrayItem::serviceName() const
{
    return m_sni->isPublished() ? m_sni->serviceName() : QString();
}

void TrayItem::setTitle(const QString &title)
{
    if (title == m_title)
        return;
    m_title = title;
    m_sni->setTitle(title);
    if (m_xembed)
        m_xembed->setTitle(title);
}

void TrayItem::buildMenu()
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return;
    m_menu = new QMenu;
    connect(m_menu->addAction(openLabel), &QAction::triggered, this, &TrayItem::openRequested);
    connect(m_menu->addAction(quitLabel), &QAction::triggered, this, &TrayItem::quitRequested);
}

bool TrayItem::watcherPresent() const
{
    QDBusConnectionInterface *daemon = m_bus.isConnected() ? m_bus.interface() : nullptr;
    return daemon && daemon->isServiceRegistered(QLatin1String(sni::watcherService)).value();
}

TrayItem::Mode TrayItem::detectMode() const
{
    if (m_options.forcedMode)
        return *m_options.forcedMode;
    if (m_sni->isPublished() && watcherPresent())
        return Mode::statusNotifier;
    // Checked only with no watcher on the bus: see XEmbedTrayIcon.
    if (m_menu && XEmbedTrayIcon::isTrayAvailable())
        return Mode::xembed;
    return Mode::none;
}

void TrayItem::applyMode(Mode mode)
{
    if (mode == Mode::statusNotifier)
        m_sni->registerWithWatcher();
    if (mode == Mode::xembed && !m_xembed) {
        m_xembed = new XEmbedTrayIcon(m_menu, this);
        m_xembed->setTitle(m_title);
        connect(m_xembed, &XEmbedTrayIcon::activated, this, &TrayItem::activated);
    } else if (mode != Mode::xembed && m_xembed) {
        delete m_xembed;
        m_xembed = nullptr;
    }

    const bool poll = mode != Mode::statusNotifier && !m_options.forcedMode
        && QGuiApplication::platformName() == QLatin1String("xcb");
    if (poll && !m_pollTimer->isActive())
        m_pollTimer->start();
    else if (!poll)
        m_pollTimer->stop();

    if (mode != m_mode) {
        m_mode = mode;
        Q_EMIT modeChanged(mode);
    }
}

void TrayItem::onWatcherOwnerChanged(const QString &newOwner)
{
    if (!newOwner.isEmpty()) {
        // A new or restarted panel: it knows nothing of us yet.
        m_graceTimer->stop();
        if (!m_options.hostDrawsLabels)
            m_sni->setFace(TrayLabelHost::detect(m_bus) ? TrayIconRenderer::Face::glyph : TrayIconRenderer::Face::title);
        applyMode(Mode::statusNotifier);
    } else if (m_mode == Mode::statusNotifier) {
        // Wait a moment before falling back: a restarting panel comes back soon.
        m_graceTimer->start();
    }
}

void TrayItem::onRegistrationFinished(bool ok)
{
    // A watcher that refuses the item leaves us without one. XEmbed is no way
    // out while the watcher exists, since Qt's tray icon would use it too.
    if (!ok && m_mode == Mode::statusNotifier && !m_options.forcedMode)
        applyMode(watcherPresent() ? Mode::none : detectMode());
}

void TrayItem::pollXEmbedTray()
{
    if (m_mode == Mode::statusNotifier || watcherPresent())
        return; // the service watcher handles the watcher's arrival
    const Mode mode = detectMode();
    if (mode != m_mode)
        applyMode(mode);
}

} // namespace pelmora
