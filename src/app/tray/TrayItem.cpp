// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/tray/TrayItem.h"

#include "app/tray/DBusMenuExporter.h"
#include "app/tray/StatusNotifierWatcherNames.h"
#include "app/tray/TrayLabelHost.h"
#include "app/tray/TrayTexts.h"
#include "app/tray/XEmbedTrayIcon.h"

#include <QApplication>
#include <QDBusConnectionInterface>
#include <QDBusServiceWatcher>
#include <QMenu>
#include <QTimer>

#include <atomic>

namespace pelmora {
namespace {

QString nextServiceName()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("org.kde.StatusNotifierItem-%1-%2").arg(QCoreApplication::applicationPid()).arg(++counter);
}

QTimer *singleShotTimer(QObject *parent, std::chrono::milliseconds interval)
{
    auto *timer = new QTimer(parent);
    timer->setSingleShot(true);
    timer->setInterval(interval);
    return timer;
}

} // namespace

TrayItem::TrayItem(QObject *parent) : TrayItem(Options{}, parent)
{
}

TrayItem::TrayItem(Options options, QObject *parent)
    : QObject(parent)
    , m_options(std::move(options))
    , m_bus(m_options.bus ? *m_options.bus : QDBusConnection::sessionBus())
    , m_status(TrayTexts::status(std::nullopt))
{
    buildMenu();

    const QString serviceName = m_options.serviceName.isEmpty() ? nextServiceName() : m_options.serviceName;
    m_sni = new StatusNotifierItem(m_bus, serviceName, this);
    m_sni->setWatcherTimeout(m_options.watcherTimeout);
    const int openId = m_sni->menu()->addItem(TrayTexts::openLabel());
    const int quitId = m_sni->menu()->addItem(TrayTexts::quitLabel());
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
    connect(m_sni, &StatusNotifierItem::registeredItemsRead, this,
            [this](StatusNotifierItem::Answer answer, const QStringList &items) {
                if (m_mode != Mode::statusNotifier || m_retryTimer->isActive())
                    return;
                if (answer == StatusNotifierItem::Answer::silent) {
                    applyMode(Mode::searching); // a host that does not answer is no host, until it does
                    retryRegistration();
                } else if (answer == StatusNotifierItem::Answer::refused // does not tell: taken at its word
                           || std::any_of(items.begin(), items.end(),
                                          [this](const QString &item) { return isOurs(item); })) {
                    m_retries = 0;
                } else {
                    retryRegistration();
                }
            });

    m_graceTimer = singleShotTimer(this, m_options.hostGrace);
    connect(m_graceTimer, &QTimer::timeout, this, [this] { applyMode(fallbackHost()); });
    m_retryTimer = singleShotTimer(this, m_options.retryDelay);
    connect(m_retryTimer, &QTimer::timeout, this, &TrayItem::registerNow);
    m_confirmTimer = singleShotTimer(this, m_options.confirmDelay);
    connect(m_confirmTimer, &QTimer::timeout, this, &TrayItem::confirmRegistration);
    m_pollTimer = new QTimer(this);
    m_pollTimer->setInterval(m_options.trayPollInterval);
    connect(m_pollTimer, &QTimer::timeout, this, &TrayItem::pollXEmbedTray);

    if (m_sni->publish()) {
        updateFace();
        if (!m_options.forcedMode) {
            m_watcherWatch = new QDBusServiceWatcher(QLatin1String(sni::watcherService), m_bus,
                                                     QDBusServiceWatcher::WatchForOwnerChange, this);
            connect(
                m_watcherWatch, &QDBusServiceWatcher::serviceOwnerChanged, this,
                [this](const QString &, const QString &, const QString &newOwner) { onWatcherOwnerChanged(newOwner); });
            // QtDBus follows the name to whichever process owns it next. Our own
            // registration is confirmed later, past the moment a watcher may drop it.
            m_bus.connect(QLatin1String(sni::watcherService), QLatin1String(sni::watcherPath),
                          QLatin1String(sni::watcherInterface), QStringLiteral("StatusNotifierItemUnregistered"), this,
                          SLOT(onItemUnregistered(QString)));
        }
    }

    // Nobody listens yet: callers read mode().
    if (m_options.forcedMode) {
        applyMode(*m_options.forcedMode);
        if (m_mode == Mode::statusNotifier)
            registerNow();
    } else if (m_sni->isPublished() && watcherPresent()) {
        applyMode(Mode::searching); // until the watcher takes the item
        registerNow();
    } else {
        const Mode host = fallbackHost();
        applyMode(host == Mode::none ? Mode::searching : host);
    }
}

TrayItem::~TrayItem()
{
    delete m_menu;
}

QString TrayItem::serviceName() const
{
    return m_sni->isPublished() ? m_sni->serviceName() : QString();
}

void TrayItem::setFigures(const std::optional<StatusFigures> &figures)
{
    const TrayStatus status = TrayTexts::status(figures);
    if (status == m_status)
        return;
    m_status = status;
    m_sni->setStatus(status);
    if (m_xembed)
        m_xembed->setStatus(status);
}

void TrayItem::setPanelOpen(bool open)
{
    m_panelOpen = open;
    m_sni->freezeToolTip(open);
    if (m_xembed)
        m_xembed->setToolTipShown(!open);
}

void TrayItem::buildMenu()
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return;
    m_menu = new QMenu;
    connect(m_menu->addAction(TrayTexts::openLabel()), &QAction::triggered, this, &TrayItem::openRequested);
    connect(m_menu->addAction(TrayTexts::quitLabel()), &QAction::triggered, this, &TrayItem::quitRequested);
}

void TrayItem::updateFace()
{
    if (!m_sni->isPublished())
        return;
    const bool labels = m_options.hostDrawsLabels.value_or(TrayLabelHost::detect(m_bus));
    m_sni->setFace(labels ? TrayIconRenderer::Face::glyph : TrayIconRenderer::Face::title);
}

bool TrayItem::watcherPresent() const
{
    QDBusConnectionInterface *daemon = m_bus.isConnected() ? m_bus.interface() : nullptr;
    return daemon && daemon->isServiceRegistered(QLatin1String(sni::watcherService)).value();
}

TrayItem::Mode TrayItem::fallbackHost() const
{
    if (m_options.forcedMode)
        return *m_options.forcedMode;
    // Checked only with no watcher on the bus: see XEmbedTrayIcon. A watcher
    // that has not taken the item (it refused it, or does not answer) leaves
    // no way out but the window.
    if (m_sni->isPublished() && watcherPresent())
        return Mode::none;
    if (m_menu && XEmbedTrayIcon::isTrayAvailable())
        return Mode::xembed;
    return Mode::none;
}

void TrayItem::applyMode(Mode mode)
{
    if (mode != Mode::statusNotifier)
        m_confirmTimer->stop();
    if (mode != Mode::searching)
        m_graceTimer->stop();
    else if (!m_graceTimer->isActive())
        m_graceTimer->start();

    if (mode == Mode::xembed && !m_xembed) {
        m_xembed = new XEmbedTrayIcon(m_menu, this);
        m_xembed->setStatus(m_status);
        m_xembed->setToolTipShown(!m_panelOpen);
        connect(m_xembed, &XEmbedTrayIcon::activated, this, [this](QPoint anchor) { Q_EMIT activated(anchor, {}); });
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
        // A new or restarted panel: it knows nothing of us yet. Whatever
        // shows now stays until it takes the item.
        updateFace();
        seekWatcher();
        return;
    }
    m_retryTimer->stop();
    if (m_mode == Mode::statusNotifier)
        applyMode(Mode::searching); // a restarting panel comes back soon: wait before anything else
}

void TrayItem::seekWatcher()
{
    m_retries = 0;
    m_retryTimer->stop();
    registerNow();
}

void TrayItem::registerNow()
{
    ++m_registrations;
    m_confirmTimer->stop();
    m_sni->registerWithWatcher(m_options.registration);
}

void TrayItem::onRegistrationFinished(StatusNotifierItem::Answer answer)
{
    if (m_options.forcedMode)
        return;
    if (answer == StatusNotifierItem::Answer::accepted) {
        applyMode(Mode::statusNotifier);
        m_confirmTimer->start();
        return;
    }
    // Refused, or no answer in time: no host for now. While the watcher is
    // there, XEmbed is no way out; it is asked again, a bounded number of
    // times, and the grace period decides meanwhile.
    if (m_mode == Mode::statusNotifier)
        applyMode(Mode::searching);
    if (watcherPresent())
        retryRegistration();
}

void TrayItem::confirmRegistration()
{
    if (m_mode == Mode::statusNotifier && !m_retryTimer->isActive())
        m_sni->readRegisteredItems();
}

void TrayItem::retryRegistration()
{
    if (m_retryTimer->isActive())
        return;
    if (m_retries >= m_options.retryLimit) {
        // The watcher will not keep the item: show the window instead. A
        // restarted watcher starts over.
        applyMode(Mode::none);
        return;
    }
    m_retryTimer->setInterval(m_options.retryDelay * (1 << m_retries));
    ++m_retries;
    m_retryTimer->start();
}

void TrayItem::onItemUnregistered(const QString &item)
{
    // The watcher names the item the way it keeps it; check its list rather than guess.
    if (m_mode == Mode::statusNotifier && isOurs(item) && !m_retryTimer->isActive()) {
        m_confirmTimer->stop();
        m_sni->readRegisteredItems();
    }
}

bool TrayItem::isOurs(const QString &item) const
{
    // Watchers list "<bus name>", "<bus name><object path>" (KDE, Xfce, LXQt)
    // or "<bus name>@<object path>" (GNOME's extension), with our well-known
    // or our unique name.
    for (const QString &name : {m_sni->serviceName(), m_bus.baseService()}) {
        if (name.isEmpty() || !item.startsWith(name))
            continue;
        const QStringView rest = QStringView(item).mid(name.size());
        if (rest.isEmpty() || rest.startsWith(u'/') || rest.startsWith(u"@/"))
            return true;
    }
    return false;
}

void TrayItem::pollXEmbedTray()
{
    if (m_mode == Mode::statusNotifier || watcherPresent())
        return; // the service watcher handles the watcher's arrival
    const Mode host = fallbackHost();
    if (host == Mode::xembed && m_mode != Mode::xembed)
        applyMode(host);
    else if (host == Mode::none && m_mode == Mode::xembed)
        applyMode(Mode::searching); // the tray went away; it may come back
}

} // namespace pelmora
