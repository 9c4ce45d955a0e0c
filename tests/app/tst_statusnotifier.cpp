#include "app/tray/DBusMenuTypes.h"
#include "app/tray/StatusNotifierTypes.h"
#include "app/tray/TrayIconRenderer.h"
#include "app/tray/TrayItem.h"
#include "app/tray/TrayLabelHost.h"

#include "testsupport/PrivateBus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QtTest>

#include <memory>

using pelmora::TrayItem;
using Mode = pelmora::TrayItem::Mode;

namespace {

const QString watcherName = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString itemInterface = QStringLiteral("org.kde.StatusNotifierItem");
const QString menuInterface = QStringLiteral("com.canonical.dbusmenu");

} // namespace

// The smallest org.kde.StatusNotifierWatcher a panel could run: it records
// who registered what, and can be told to refuse.
class TestWatcher : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ registeredItems)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)

public:
    struct Registration {
        QString service;
        QString sender;
    };

    explicit TestWatcher(QDBusConnection bus) : m_bus(bus) {}
    ~TestWatcher() override { stop(); }

    bool start()
    {
        return m_bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), this,
                                    QDBusConnection::ExportScriptableContents | QDBusConnection::ExportAllProperties)
            && m_bus.registerService(watcherName);
    }
    void stop()
    {
        m_bus.unregisterService(watcherName);
        m_bus.unregisterObject(QStringLiteral("/StatusNotifierWatcher"));
    }

    QStringList registeredItems() const
    {
        QStringList services;
        for (const Registration &r : registrations)
            services.append(r.service);
        return services;
    }
    bool isHostRegistered() const { return true; }
    int protocolVersion() const { return 0; }

    QList<Registration> registrations;
    bool refuse = false;

public Q_SLOTS:
    Q_SCRIPTABLE void RegisterStatusNotifierItem(const QString &service)
    {
        if (refuse) {
            sendErrorReply(QDBusError::AccessDenied, QStringLiteral("not today"));
            return;
        }
        registrations.append({service, message().service()});
    }
    Q_SCRIPTABLE void RegisterStatusNotifierHost(const QString &) {}

private:
    QDBusConnection m_bus;
};

// Counts the item's change signals as a host receives them.
class SignalRecorder : public QObject {
    Q_OBJECT

public:
    QStringList names;
    QList<QStringList> labels;

public Q_SLOTS:
    void onSignal(const QDBusMessage &message)
    {
        names.append(message.member());
        if (message.member() == QLatin1String("XAyatanaNewLabel")) {
            QStringList args;
            for (const QVariant &arg : message.arguments())
                args.append(arg.toString());
            labels.append(args);
        }
    }
};

class TestStatusNotifier : public QObject {
    Q_OBJECT

private:
    pelmora::PrivateBus m_daemon;
    std::unique_ptr<QDBusConnection> m_host; // the panel side: watcher and host
    std::unique_ptr<TestWatcher> m_watcher;
    int m_connections = 0;
    QStringList m_itemConnections;

    QDBusConnection newItemBus()
    {
        const QString name = QStringLiteral("item-%1").arg(++m_connections);
        m_itemConnections.append(name);
        return QDBusConnection::connectToBus(m_daemon.address(), name);
    }

    std::unique_ptr<TrayItem> newItem(TrayItem::Options options = {})
    {
        if (!options.bus)
            options.bus = newItemBus();
        return std::make_unique<TrayItem>(options);
    }

    // The item and the test share a thread, so calls must keep the event loop running.
    QDBusMessage call(const QString &service, const QString &path, const QString &interface, const QString &method,
                      const QVariantList &arguments = {})
    {
        QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
        message.setArguments(arguments);
        return m_host->call(message, QDBus::BlockWithGui, 5000);
    }

    QVariant property(const QString &service, const QString &name, const QString &interface = itemInterface,
                      const QString &path = QStringLiteral("/StatusNotifierItem"))
    {
        const QDBusMessage reply = call(service, path, QStringLiteral("org.freedesktop.DBus.Properties"),
                                        QStringLiteral("Get"), {interface, name});
        if (reply.type() != QDBusMessage::ReplyMessage)
            return {};
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!m_daemon.start())
            QSKIP(qPrintable(QStringLiteral("no private bus: %1").arg(m_daemon.errorString())));
        m_host = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(m_daemon.address(), QStringLiteral("host")));
        QVERIFY(m_host->isConnected());
        pelmora::registerStatusNotifierTypes();
        pelmora::registerDBusMenuTypes();
    }

    void init()
    {
        m_watcher = std::make_unique<TestWatcher>(*m_host);
        QVERIFY(m_watcher->start());
    }

    void cleanup()
    {
        m_watcher.reset();
        for (const QString &name : std::as_const(m_itemConnections))
            QDBusConnection::disconnectFromBus(name);
        m_itemConnections.clear();
    }

    void cleanupTestCase()
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("host"));
        m_host.reset();
        m_daemon.stop();
    }

    void registersWithTheWatcher()
    {
        auto item = newItem();
        QCOMPARE(item->mode(), Mode::statusNotifier);
        const QString service = item->serviceName();
        QVERIFY2(QRegularExpression(QStringLiteral("^org\\.kde\\.StatusNotifierItem-%1-\\d+$")
                                        .arg(QCoreApplication::applicationPid())).match(service).hasMatch(),
                 qPrintable(service));
        QTRY_COMPARE(m_watcher->registrations.size(), 1);
        QCOMPARE(m_watcher->registrations.at(0).service, service);
        const QString owner = m_host->interface()->serviceOwner(service);
        QCOMPARE(m_watcher->registrations.at(0).sender, owner);

        // Hosts drop an item when its name goes away.
        item.reset();
        QTRY_VERIFY(!m_host->interface()->isServiceRegistered(service).value());
    }

    void publishesTitleLabelAndToolTip()
    {
        auto item = newItem({.hostDrawsLabels = false});
        const QString service = item->serviceName();
        QCOMPARE(property(service, QStringLiteral("XAyatanaLabel")).toString(), QStringLiteral("--/--"));
        item->setTitle(QStringLiteral("12/63"));
        QCOMPARE(property(service, QStringLiteral("XAyatanaLabel")).toString(), QStringLiteral("12/63"));
        QCOMPARE(property(service, QStringLiteral("XAyatanaLabelGuide")).toString(), QStringLiteral("100/100"));

        const auto toolTip = qdbus_cast<pelmora::SniToolTip>(property(service, QStringLiteral("ToolTip")).value<QDBusArgument>());
        QCOMPARE(toolTip.title, QStringLiteral("Pelmora"));
        QCOMPARE(toolTip.description, QStringLiteral("12/63"));

        // Hosts such as xfce4-panel read everything at once with GetAll.
        const QDBusMessage all = call(service, QStringLiteral("/StatusNotifierItem"), QStringLiteral("org.freedesktop.DBus.Properties"),
                                      QStringLiteral("GetAll"), {itemInterface});
        QCOMPARE(all.type(), QDBusMessage::ReplyMessage);
        const QVariantMap map = qdbus_cast<QVariantMap>(all.arguments().value(0).value<QDBusArgument>());
        QCOMPARE(map.value(QStringLiteral("Category")).toString(), QStringLiteral("SystemServices"));
        QCOMPARE(map.value(QStringLiteral("Id")).toString(), QStringLiteral("pelmora"));
        QCOMPARE(map.value(QStringLiteral("Title")).toString(), QStringLiteral("Pelmora"));
        QCOMPARE(map.value(QStringLiteral("Status")).toString(), QStringLiteral("Active"));
        QCOMPARE(map.value(QStringLiteral("WindowId")).toInt(), 0);
        QCOMPARE(map.value(QStringLiteral("IconName")).toString(), QString());
        QCOMPARE(map.value(QStringLiteral("ItemIsMenu")).toBool(), false);
        QCOMPARE(map.value(QStringLiteral("Menu")).value<QDBusObjectPath>().path(), QStringLiteral("/MenuBar"));
        QVERIFY(map.contains(QStringLiteral("IconPixmap")));
    }

    void iconPixmapsShowTheTitleOrTheGlyph_data()
    {
        QTest::addColumn<bool>("labels");
        QTest::newRow("icon carries the title") << false;
        QTest::newRow("host draws the label") << true;
    }

    void iconPixmapsShowTheTitleOrTheGlyph()
    {
        QFETCH(bool, labels);
        auto item = newItem({.hostDrawsLabels = labels});
        item->setTitle(QStringLiteral("12/63"));
        const auto pixmaps = qdbus_cast<pelmora::SniIconPixmapList>(
            property(item->serviceName(), QStringLiteral("IconPixmap")).value<QDBusArgument>());
        const auto face = labels ? pelmora::TrayIconRenderer::Face::glyph : pelmora::TrayIconRenderer::Face::title;
        QCOMPARE(pixmaps.size(), pelmora::TrayIconRenderer::sizes().size());
        for (int i = 0; i < pixmaps.size(); ++i) {
            const int size = pelmora::TrayIconRenderer::sizes().at(i);
            QCOMPARE(pixmaps.at(i).width, size);
            QCOMPARE(pixmaps.at(i).height, size);
            const QImage expected = pelmora::TrayIconRenderer::render(QStringLiteral("12/63"), size, face)
                                        .convertToFormat(QImage::Format_ARGB32);
            QCOMPARE(pelmora::fromSniIconPixmap(pixmaps.at(i)), expected);
        }
    }

    void activateReportsThePoint()
    {
        auto item = newItem();
        QSignalSpy activated(item.get(), &TrayItem::activated);
        const QDBusMessage reply = call(item->serviceName(), QStringLiteral("/StatusNotifierItem"), itemInterface,
                                        QStringLiteral("Activate"), {120, 7});
        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
        QCOMPARE(activated.size(), 1);
        QCOMPARE(activated.at(0).at(0).toPoint(), QPoint(120, 7));

        // The other actions exist, since hosts call them, and do nothing.
        for (const char *method : {"SecondaryActivate", "Scroll"}) {
            const QVariantList args = QByteArray(method) == "Scroll" ? QVariantList{3, QStringLiteral("vertical")} : QVariantList{1, 2};
            QCOMPARE(call(item->serviceName(), QStringLiteral("/StatusNotifierItem"), itemInterface,
                          QLatin1String(method), args).type(), QDBusMessage::ReplyMessage);
        }
        QCOMPARE(activated.size(), 1);
    }

    void menuOverDBus()
    {
        auto item = newItem();
        QSignalSpy open(item.get(), &TrayItem::openRequested);
        QSignalSpy quit(item.get(), &TrayItem::quitRequested);
        const QString service = item->serviceName();
        const QString menu = property(service, QStringLiteral("Menu")).value<QDBusObjectPath>().path();
        QCOMPARE(menu, QStringLiteral("/MenuBar"));
        QCOMPARE(property(service, QStringLiteral("Version"), menuInterface, menu).toUInt(), 3u);
        QCOMPARE(property(service, QStringLiteral("Status"), menuInterface, menu).toString(), QStringLiteral("normal"));
        QCOMPARE(property(service, QStringLiteral("TextDirection"), menuInterface, menu).toString(), QStringLiteral("ltr"));

        const QDBusMessage layoutReply = call(service, menu, menuInterface, QStringLiteral("GetLayout"),
                                              {0, -1, QStringList()});
        QCOMPARE(layoutReply.type(), QDBusMessage::ReplyMessage);
        QCOMPARE(layoutReply.signature(), QStringLiteral("u(ia{sv}av)"));
        const auto root = qdbus_cast<pelmora::DBusMenuLayoutItem>(layoutReply.arguments().at(1).value<QDBusArgument>());
        QCOMPARE(root.id, 0);
        QCOMPARE(root.properties.value(QStringLiteral("children-display")).toString(), QStringLiteral("submenu"));
        QCOMPARE(root.children.size(), 2);
        QCOMPARE(root.children.at(0).properties.value(QStringLiteral("label")).toString(), QStringLiteral("Open Pelmora"));
        QCOMPARE(root.children.at(1).properties.value(QStringLiteral("label")).toString(), QStringLiteral("Quit"));
        const int openId = root.children.at(0).id;
        const int quitId = root.children.at(1).id;

        // Depth 0 and a property filter, as libdbusmenu asks for them.
        const auto shallow = qdbus_cast<pelmora::DBusMenuLayoutItem>(
            call(service, menu, menuInterface, QStringLiteral("GetLayout"), {0, 0, QStringList{QStringLiteral("label")}})
                .arguments().at(1).value<QDBusArgument>());
        QVERIFY(shallow.children.isEmpty());
        const auto group = qdbus_cast<pelmora::DBusMenuItemList>(
            call(service, menu, menuInterface, QStringLiteral("GetGroupProperties"),
                 {QVariant::fromValue(QList<int>{quitId}), QStringList{QStringLiteral("label")}})
                .arguments().at(0).value<QDBusArgument>());
        QCOMPARE(group.size(), 1);
        QCOMPARE(group.at(0).properties, (QVariantMap{{QStringLiteral("label"), QStringLiteral("Quit")}}));
        QCOMPARE(call(service, menu, menuInterface, QStringLiteral("GetLayout"), {99, -1, QStringList()}).type(),
                 QDBusMessage::ErrorMessage);
        QCOMPARE(call(service, menu, menuInterface, QStringLiteral("Event"),
                      {99, QStringLiteral("clicked"), QVariant::fromValue(QDBusVariant(QString())), 0u}).type(),
                 QDBusMessage::ErrorMessage);

        QCOMPARE(call(service, menu, menuInterface, QStringLiteral("AboutToShow"), {0}).arguments().value(0).toBool(), false);
        QCOMPARE(call(service, menu, menuInterface, QStringLiteral("Event"),
                      {quitId, QStringLiteral("clicked"), QVariant::fromValue(QDBusVariant(QString())), 0u}).type(),
                 QDBusMessage::ReplyMessage);
        QCOMPARE(quit.size(), 1);
        QCOMPARE(open.size(), 0);
        // Hovering is not choosing.
        call(service, menu, menuInterface, QStringLiteral("Event"),
             {openId, QStringLiteral("hovered"), QVariant::fromValue(QDBusVariant(QString())), 0u});
        QCOMPARE(open.size(), 0);

        const pelmora::DBusMenuEventList events{{openId, QStringLiteral("clicked"), QDBusVariant(QString()), 0},
                                                {42, QStringLiteral("clicked"), QDBusVariant(QString()), 0}};
        const QDBusMessage grouped = call(service, menu, menuInterface, QStringLiteral("EventGroup"), {QVariant::fromValue(events)});
        QVERIFY2(grouped.type() == QDBusMessage::ReplyMessage, qPrintable(grouped.errorMessage()));
        QCOMPARE(qdbus_cast<QList<int>>(grouped.arguments().at(0)), QList<int>{42});
        QCOMPARE(open.size(), 1);
        QCOMPARE(quit.size(), 1);
    }

    void changeSignalsOnlyForNewText_data()
    {
        QTest::addColumn<bool>("labels");
        QTest::newRow("icon carries the title") << false;
        QTest::newRow("host draws the label") << true;
    }

    void changeSignalsOnlyForNewText()
    {
        QFETCH(bool, labels);
        auto item = newItem({.hostDrawsLabels = labels});
        const QString service = item->serviceName();
        SignalRecorder recorder;
        for (const char *name : {"NewTitle", "NewIcon", "NewToolTip", "NewStatus", "XAyatanaNewLabel"})
            QVERIFY(m_host->connect(service, QStringLiteral("/StatusNotifierItem"), itemInterface, QLatin1String(name),
                                    &recorder, SLOT(onSignal(QDBusMessage))));
        QTRY_COMPARE(m_watcher->registrations.size(), 1);

        item->setTitle(QStringLiteral("--/--")); // what it already shows
        item->setTitle(QStringLiteral("12/63"));
        item->setTitle(QStringLiteral("12/63"));
        item->setTitle(QStringLiteral("13/63"));
        // A reply is sent after the signals before it, so once it is here they are too.
        property(service, QStringLiteral("Id"));
        QTRY_COMPARE(recorder.names.count(QStringLiteral("XAyatanaNewLabel")), 2);
        QCOMPARE(recorder.labels, (QList<QStringList>{{QStringLiteral("12/63"), QStringLiteral("100/100")},
                                                      {QStringLiteral("13/63"), QStringLiteral("100/100")}}));
        QCOMPARE(recorder.names.count(QStringLiteral("NewTitle")), 2);
        QCOMPARE(recorder.names.count(QStringLiteral("NewToolTip")), 2);
        QCOMPARE(recorder.names.count(QStringLiteral("NewIcon")), labels ? 0 : 2);
        QCOMPARE(recorder.names.count(QStringLiteral("NewStatus")), 0);
    }

    void registersAgainWhenTheWatcherReturns()
    {
        auto item = newItem();
        QSignalSpy modes(item.get(), &TrayItem::modeChanged);
        QTRY_COMPARE(m_watcher->registrations.size(), 1);

        // A panel restart: the name goes away and comes back.
        m_watcher->stop();
        QVERIFY(m_watcher->start());
        QTRY_COMPARE(m_watcher->registrations.size(), 2);
        QCOMPARE(m_watcher->registrations.at(1).service, item->serviceName());
        QCOMPARE(item->mode(), Mode::statusNotifier);
        QCOMPARE(modes.size(), 0);
    }

    void followsAWatcherThatComesAndGoes()
    {
        m_watcher->stop();
        auto item = newItem({.watcherGrace = std::chrono::milliseconds(100)});
        QSignalSpy modes(item.get(), &TrayItem::modeChanged);
        QCOMPARE(item->mode(), Mode::none); // offscreen: no XEmbed either

        QVERIFY(m_watcher->start());
        QTRY_COMPARE(modes.size(), 1);
        QCOMPARE(modes.at(0).at(0).value<Mode>(), Mode::statusNotifier);
        QTRY_COMPARE(m_watcher->registrations.size(), 1);

        m_watcher->stop();
        QTRY_COMPARE(modes.size(), 2);
        QCOMPARE(modes.at(1).at(0).value<Mode>(), Mode::none);
        QCOMPARE(item->mode(), Mode::none);
    }

    void refusedRegistrationMeansNoItem()
    {
        m_watcher->refuse = true;
        auto item = newItem();
        QSignalSpy modes(item.get(), &TrayItem::modeChanged);
        QTRY_COMPARE(modes.size(), 1);
        QCOMPARE(item->mode(), Mode::none);
    }

    void labelHostsFromTheDesktopName_data()
    {
        QTest::addColumn<QString>("desktop");
        QTest::addColumn<bool>("labels");
        QTest::newRow("GNOME") << QStringLiteral("GNOME") << true;
        QTest::newRow("Ubuntu") << QStringLiteral("ubuntu:GNOME") << true;
        QTest::newRow("Unity") << QStringLiteral("Unity") << true;
        QTest::newRow("lower case") << QStringLiteral("gnome") << true;
        QTest::newRow("Flashback") << QStringLiteral("GNOME-Flashback:GNOME") << true;
        QTest::newRow("only a prefix") << QStringLiteral("GNOME-Classic") << false;
        QTest::newRow("Xfce") << QStringLiteral("XFCE") << false;
        QTest::newRow("Plasma") << QStringLiteral("KDE") << false;
        QTest::newRow("unset") << QString() << false;
    }

    void labelHostsFromTheDesktopName()
    {
        QFETCH(QString, desktop);
        QFETCH(bool, labels);
        QCOMPARE(pelmora::TrayLabelHost::desktopDrawsLabels(desktop), labels);
    }

    void labelHostsFromTheBus()
    {
        // m_watcher is a plain watcher on the host connection.
        QVERIFY(!pelmora::TrayLabelHost::busHasLabelHost(*m_host));

        // GNOME Shell's extension owns the watcher name in the shell's own connection.
        QVERIFY(m_host->registerService(QStringLiteral("org.gnome.Shell")));
        QVERIFY(pelmora::TrayLabelHost::busHasLabelHost(*m_host));
        QVERIFY(m_host->unregisterService(QStringLiteral("org.gnome.Shell")));

        // A shell elsewhere on the bus does not make our watcher its extension.
        QDBusConnection other = newItemBus();
        QVERIFY(other.registerService(QStringLiteral("org.gnome.Shell")));
        QVERIFY(!pelmora::TrayLabelHost::busHasLabelHost(*m_host));

        QVERIFY(other.registerService(QStringLiteral("org.ayatana.indicator.application")));
        QVERIFY(pelmora::TrayLabelHost::busHasLabelHost(*m_host));
    }
};

QTEST_MAIN(TestStatusNotifier)
#include "tst_statusnotifier.moc"
