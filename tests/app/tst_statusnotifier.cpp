// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/tray/DBusMenuTypes.h"
#include "app/tray/StatusNotifierTypes.h"
#include "app/tray/TrayIconRenderer.h"
#include "app/tray/TrayItem.h"

#include "testsupport/PrivateBus.h"

#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QtTest>

using namespace pelmora;
using Mode = TrayItem::Mode;

// The smallest watcher a panel could run: it records who registered what, from where, and can refuse.
class TestWatcher : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
public:
    QList<QPair<QString, QString>> registrations; // service, sender
    bool refuse = false;
public Q_SLOTS:
    Q_SCRIPTABLE void RegisterStatusNotifierItem(const QString &service)
    {
        if (refuse)
            sendErrorReply(QDBusError::AccessDenied, u"not today"_qs);
        else
            registrations.append({service, message().service()});
    }
};

class TestStatusNotifier : public QObject {
    Q_OBJECT

    PrivateBus m_daemon;
    std::optional<QDBusConnection> m_host; // the panel side
    TestWatcher m_watcher;
    QStringList m_connections;

    bool startWatcher() { return m_host->registerService(u"org.kde.StatusNotifierWatcher"_qs); }
    void stopWatcher() { m_host->unregisterService(u"org.kde.StatusNotifierWatcher"_qs); }
    QDBusConnection newBus()
    {
        m_connections.append(u"item-%1"_qs.arg(m_connections.size()));
        return QDBusConnection::connectToBus(m_daemon.address(), m_connections.last());
    }
    // The item shares our thread, so calls must keep the event loop running.
    QDBusMessage call(const QString &service, const QString &path, const QString &method, const QVariantList &args,
                      const QString &interface = u"org.freedesktop.DBus.Properties"_qs)
    {
        QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
        message.setArguments(args);
        return m_host->call(message, QDBus::BlockWithGui, 5000);
    }
    QVariantMap properties(const QString &service)
    {
        const QDBusMessage all = call(service, u"/StatusNotifierItem"_qs, u"GetAll"_qs, {u"org.kde.StatusNotifierItem"_qs});
        return qdbus_cast<QVariantMap>(all.arguments().value(0).value<QDBusArgument>());
    }
private Q_SLOTS:
    void initTestCase()
    {
        if (!m_daemon.start())
            QSKIP(qPrintable(u"no private bus: "_qs + m_daemon.errorString()));
        m_host = QDBusConnection::connectToBus(m_daemon.address(), u"host"_qs);
        QVERIFY(m_host->registerObject(u"/StatusNotifierWatcher"_qs, &m_watcher, QDBusConnection::ExportScriptableContents));
        registerStatusNotifierTypes();
        registerDBusMenuTypes();
    }
    void init()
    {
        m_watcher.registrations.clear();
        m_watcher.refuse = false;
        QVERIFY(startWatcher());
    }
    void cleanup()
    {
        stopWatcher();
        m_host->unregisterService(u"org.gnome.Shell"_qs);
        qunsetenv("XDG_CURRENT_DESKTOP");
        for (const QString &name : std::as_const(m_connections))
            QDBusConnection::disconnectFromBus(name);
    }

    void registersPublishesTheTitleAndServesTheMenu()
    {
        auto item = std::make_unique<TrayItem>(TrayItem::Options{.bus = newBus()});
        QSignalSpy open(item.get(), &TrayItem::openRequested);
        QSignalSpy quit(item.get(), &TrayItem::quitRequested);
        const QString service = item->serviceName();
        QTRY_COMPARE(m_watcher.registrations.size(), 1);
        QCOMPARE(m_watcher.registrations.at(0), qMakePair(service, m_host->interface()->serviceOwner(service).value()));
        item->setTitle(u"13/63"_qs);
        const QVariantMap map = properties(service);
        QCOMPARE(map.value(u"XAyatanaLabel"_qs).toString(), u"13/63");
        QCOMPARE(map.value(u"XAyatanaLabelGuide"_qs).toString(), u"100/100");

        const auto menu = [&](const QString &method, const QVariantList &args) {
            return call(service, u"/MenuBar"_qs, method, args, u"com.canonical.dbusmenu"_qs);
        };
        const auto items = qdbus_cast<DBusMenuLayoutItem>(
            menu(u"GetLayout"_qs, {0, -1, QStringList()}).arguments().value(1).value<QDBusArgument>()).children;
        QCOMPARE(items.size(), 2);
        QCOMPARE(items.at(0).properties.value(u"label"_qs).toString(), u"Open Pelmora");
        QCOMPARE(items.at(1).properties.value(u"label"_qs).toString(), u"Quit");
        const auto event = [&](int id, const char *kind) {
            return menu(u"Event"_qs, {id, QLatin1String(kind), QVariant::fromValue(QDBusVariant(QString())), 0u}).type();
        };
        event(items.at(0).id, "hovered"); // hovering is not choosing
        event(items.at(0).id, "clicked");
        event(items.at(1).id, "clicked");
        QCOMPARE(open.size(), 1);
        QCOMPARE(quit.size(), 1);
        item.reset(); // hosts drop an item when its name goes away
        QTRY_VERIFY(!m_host->interface()->isServiceRegistered(service).value());
    }

    void followsTheWatcher()
    {
        auto item = std::make_unique<TrayItem>(TrayItem::Options{.bus = newBus(), .watcherGrace = std::chrono::seconds(1)});
        QSignalSpy modes(item.get(), &TrayItem::modeChanged);
        QTRY_COMPARE(m_watcher.registrations.size(), 1);
        // A panel restart: the name goes away and comes back within the grace period.
        stopWatcher();
        QTest::qWait(300);
        QCOMPARE(item->mode(), Mode::statusNotifier);
        QVERIFY(startWatcher());
        QTRY_COMPARE(m_watcher.registrations.size(), 2);
        QTest::qWait(1200);
        QCOMPARE(modes.size(), 0);
        // Gone for good: after the grace period there is no item (offscreen: no XEmbed).
        stopWatcher();
        QTRY_COMPARE(modes.size(), 1);
        QCOMPARE(item->mode(), Mode::none);
        // A watcher that appears later gets the item.
        QVERIFY(startWatcher());
        QTRY_COMPARE(modes.size(), 2);
        QCOMPARE(item->mode(), Mode::statusNotifier);
        // One that refuses the item leaves none: XEmbed is no way out while a watcher exists.
        stopWatcher();
        m_watcher.refuse = true;
        QVERIFY(startWatcher());
        QTRY_COMPARE(modes.size(), 3);
        QCOMPARE(item->mode(), Mode::none);
    }

    // Hosts that draw XAyatanaLabel beside the icon get the glyph instead of the title.
    void labelHostsGetTheGlyph_data()
    {
        QTest::addColumn<QString>("desktop");
        QTest::addColumn<QString>("service"); // owned by another connection
        QTest::addColumn<bool>("onWatcherBus"); // or by the watcher's own
        QTest::addColumn<bool>("glyph");
        QTest::newRow("GNOME") << u"gnome"_qs << QString() << false << true;
        QTest::newRow("Ubuntu") << u"ubuntu:GNOME"_qs << QString() << false << true;
        QTest::newRow("Unity") << u"Unity"_qs << QString() << false << true;
        QTest::newRow("only a prefix") << u"GNOME-Classic"_qs << QString() << false << false;
        QTest::newRow("Xfce") << u"XFCE"_qs << QString() << false << false;
        QTest::newRow("Ayatana service") << u"XFCE"_qs << u"org.ayatana.indicator.application"_qs << false << true;
        QTest::newRow("shell owns the watcher") << QString() << u"org.gnome.Shell"_qs << true << true;
        QTest::newRow("shell elsewhere") << QString() << u"org.gnome.Shell"_qs << false << false;
    }
    void labelHostsGetTheGlyph()
    {
        QFETCH(QString, desktop);
        QFETCH(QString, service);
        QFETCH(bool, onWatcherBus);
        QFETCH(bool, glyph);
        qputenv("XDG_CURRENT_DESKTOP", desktop.toUtf8());
        if (!service.isEmpty())
            QVERIFY((onWatcherBus ? *m_host : newBus()).registerService(service));
        auto item = std::make_unique<TrayItem>(TrayItem::Options{.bus = newBus()});
        item->setTitle(u"13/63"_qs);
        const auto icons = qdbus_cast<SniIconPixmapList>(
            properties(item->serviceName()).value(u"IconPixmap"_qs).value<QDBusArgument>());
        QCOMPARE(icons.size(), TrayIconRenderer::sizes().size());
        const QImage expected = TrayIconRenderer::render(u"13/63"_qs, icons.at(0).width, glyph ? TrayIconRenderer::Face::glyph : TrayIconRenderer::Face::title);
        QCOMPARE(fromSniIconPixmap(icons.at(0)), expected.convertToFormat(QImage::Format_ARGB32));
    }
};

QTEST_MAIN(TestStatusNotifier)
#include "tst_statusnotifier.moc"
