// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The program on a private session bus: one instance per session, its tray
// item with the watchers panels run, and GNOME Shell's overview.
#include "app/SingleInstance.h"
#include "app/tray/DBusMenuTypes.h"
#include "app/tray/ShellOverview.h"
#include "app/tray/StatusNotifierTypes.h"
#include "app/tray/TrayIconRenderer.h"
#include "app/tray/TrayItem.h"

#include "testsupport/MuteWatcher.h"
#include "testsupport/PrivateBus.h"
#include "testsupport/ResidentMemory.h"

#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QtTest>

#include <functional>

using namespace pelmora;
using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using Mode = TrayItem::Mode;

// The smallest watcher a panel could run: it records who registered what, from
// where, lists its items, and can refuse them or drop them again a moment later
// (with or without saying so), as some hosts do.
class TestWatcher : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)
public:
    QList<QPair<QString, QString>> registrations; // service, sender
    QStringList listed;
    bool refuse = false;
    int drops = 0; // the next this many registrations are dropped; -1: every one
    bool announceDrops = true;
    QString separator; // how this watcher joins a bus name and an object path
    mutable int listReads = 0; // how often an item checked the list
    QStringList items() const
    {
        ++listReads;
        return listed;
    }
public Q_SLOTS:
    Q_SCRIPTABLE void RegisterStatusNotifierItem(const QString &service)
    {
        const QString sender = message().service();
        registrations.append({service, sender});
        if (refuse) {
            sendErrorReply(QDBusError::AccessDenied, u"not today"_s);
            return;
        }
        const QString item = service.startsWith(u'/') ? sender + separator + service : service;
        listed.append(item);
        if (drops == 0)
            return;
        if (drops > 0)
            --drops;
        QTimer::singleShot(150, this, [this, item] {
            listed.removeAll(item);
            if (announceDrops)
                Q_EMIT StatusNotifierItemUnregistered(item);
        });
    }
Q_SIGNALS:
    Q_SCRIPTABLE void StatusNotifierItemUnregistered(const QString &item);
};

// GNOME Shell's OverviewActive, as far as a panel's client sees it: leaving
// takes a moment (the closing animation), and a shell may also not leave.
class TestShell : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.gnome.Shell")
    Q_PROPERTY(bool OverviewActive READ overviewActive WRITE setOverviewActive)
public:
    bool active = false;
    bool stubborn = false;
    int leaveRequests = 0;
    bool overviewActive() const { return active; }
    void setOverviewActive(bool value)
    {
        if (value) {
            active = true;
            return;
        }
        ++leaveRequests;
        if (!stubborn)
            QTimer::singleShot(300, this, [this] { active = false; });
    }
};

class TestSessionBus : public QObject {
    Q_OBJECT

    PrivateBus m_daemon;
    std::optional<QDBusConnection> m_host; // the panel side
    std::unique_ptr<TestWatcher> m_watcher; // a fresh one for each test
    QStringList m_connections;

    bool startWatcher() { return m_host->registerService(u"org.kde.StatusNotifierWatcher"_s); }
    void stopWatcher() { m_host->unregisterService(u"org.kde.StatusNotifierWatcher"_s); }
    QDBusConnection newBus()
    {
        m_connections.append(u"item-%1"_s.arg(m_connections.size()));
        return QDBusConnection::connectToBus(m_daemon.address(), m_connections.last());
    }
    // The item shares our thread, so calls must keep the event loop running.
    QDBusMessage call(const QString &service, const QString &path, const QString &method, const QVariantList &args,
                      const QString &interface = u"org.freedesktop.DBus.Properties"_s)
    {
        QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
        message.setArguments(args);
        return m_host->call(message, QDBus::BlockWithGui, 5000);
    }
    QVariantMap properties(const QString &service)
    {
        const QDBusMessage all = call(service, u"/StatusNotifierItem"_s, u"GetAll"_s,
                                      {u"org.kde.StatusNotifierItem"_s});
        return qdbus_cast<QVariantMap>(all.arguments().value(0).value<QDBusArgument>());
    }
    // True when `holds` stays true for `interval` (polled), false as soon as it fails.
    static bool holdsFor(const std::function<bool()> &holds, std::chrono::milliseconds interval)
    {
        return !QTest::qWaitFor([&] { return !holds(); }, int(interval.count()));
    }
    int m_toolTipChanges = 0;
public Q_SLOTS:
    void countToolTipChange() { ++m_toolTipChanges; }
private Q_SLOTS:
    void initTestCase()
    {
        if (!m_daemon.start())
            QSKIP(qPrintable(u"no private bus: "_s + m_daemon.errorString()));
        m_host = QDBusConnection::connectToBus(m_daemon.address(), u"host"_s);
        registerStatusNotifierTypes();
        registerDBusMenuTypes();
    }
    void init()
    {
        m_watcher = std::make_unique<TestWatcher>();
        QVERIFY(m_host->registerObject(u"/StatusNotifierWatcher"_s, m_watcher.get(),
                                       QDBusConnection::ExportScriptableContents));
        QVERIFY(startWatcher());
    }
    void cleanup()
    {
        stopWatcher();
        m_host->unregisterObject(u"/StatusNotifierWatcher"_s);
        m_host->unregisterService(u"org.gnome.Shell"_s);
        qunsetenv("XDG_CURRENT_DESKTOP");
        for (const QString &name : std::as_const(m_connections))
            QDBusConnection::disconnectFromBus(name);
    }

    // The first start owns the name, a later one reaches it, and the name
    // passes on when the first ends.
    void oneInstancePerSession()
    {
        using Claim = SingleInstance::Claim;
        auto first = std::make_unique<SingleInstance>(newBus());
        const QString firstBus = m_connections.last();
        SingleInstance second(newBus());
        QSignalSpy opened(first.get(), &SingleInstance::activationRequested);
        QCOMPARE(first->claim(), Claim::first);
        QCOMPARE(second.claim(), Claim::second);

        // The call blocks this thread, where the first one answers too: run it from a thread of its own.
        QString error = u"no answer"_s;
        QThread *caller = QThread::create([&] { error = second.activateFirst(3000); });
        caller->start();
        QTRY_VERIFY(caller->isFinished());
        delete caller;
        QCOMPARE(error, QString());
        QCOMPARE(opened.size(), 1);

        // Launchers speak the standard interface; there are no actions to run.
        const auto launch = [&](const QString &method, const QVariantList &args) {
            return call(u"org.pelmora.Pelmora"_s, u"/org/pelmora/Pelmora"_s, method, args,
                        u"org.freedesktop.Application"_s);
        };
        QCOMPARE(launch(u"ActivateAction"_s, {u"quit"_s, QVariantList(), QVariantMap()}).type(),
                 QDBusMessage::ErrorMessage);
        const QDBusMessage open = launch(u"Open"_s, {QStringList{u"file:///tmp"_s}, QVariantMap()});
        QVERIFY2(open.type() == QDBusMessage::ReplyMessage, qPrintable(open.errorMessage()));
        QCOMPARE(opened.size(), 2);

        // When the first one ends, the name is free for the next start.
        first.reset();
        QDBusConnection::disconnectFromBus(firstBus);
        QCOMPARE(second.claim(), Claim::first);
        QCOMPARE(SingleInstance(QDBusConnection(u"not connected"_s)).claim(), Claim::noBus);
    }

    // What the item publishes, however the watcher was told of it: the title,
    // the tooltip, the menu, and (for hosts that draw XAyatanaLabel beside the
    // icon) the glyph in place of the title.
    void registersPublishesTheTitleAndServesTheMenu_data()
    {
        QTest::addColumn<TrayItem::Registration>("registration");
        QTest::addColumn<QString>("desktop");
        QTest::addColumn<QString>("service"); // owned by another connection
        QTest::addColumn<bool>("onWatcherBus"); // or by the watcher's own
        QTest::addColumn<bool>("glyph");
        const auto path = TrayItem::Registration::objectPath, name = TrayItem::Registration::serviceName;
        QTest::newRow("GNOME, by object path") << path << u"gnome"_s << QString() << false << true;
        QTest::newRow("Ubuntu") << path << u"ubuntu:GNOME"_s << QString() << false << true;
        QTest::newRow("Unity") << path << u"Unity"_s << QString() << false << true;
        QTest::newRow("only a prefix") << path << u"GNOME-Classic"_s << QString() << false << false;
        QTest::newRow("Xfce, by bus name") << name << u"XFCE"_s << QString() << false << false;
        QTest::newRow("Ayatana service") << path << u"XFCE"_s << u"org.ayatana.indicator.application"_s << false
                                         << true;
        QTest::newRow("shell owns the watcher") << path << QString() << u"org.gnome.Shell"_s << true << true;
        QTest::newRow("shell elsewhere") << name << QString() << u"org.gnome.Shell"_s << false << false;
    }
    void registersPublishesTheTitleAndServesTheMenu()
    {
        QFETCH(TrayItem::Registration, registration);
        QFETCH(QString, desktop);
        QFETCH(QString, service);
        QFETCH(bool, onWatcherBus);
        QFETCH(bool, glyph);
        qputenv("XDG_CURRENT_DESKTOP", desktop.toUtf8());
        if (!service.isEmpty())
            QVERIFY((onWatcherBus ? *m_host : newBus()).registerService(service));
        auto item = std::make_unique<TrayItem>(TrayItem::Options{.bus = newBus(), .registration = registration});
        QSignalSpy open(item.get(), &TrayItem::openRequested);
        QSignalSpy quit(item.get(), &TrayItem::quitRequested);
        const QString itemName = item->serviceName();
        QTRY_COMPARE(m_watcher->registrations.size(), 1);
        QCOMPARE(m_watcher->registrations.at(0).second, m_host->interface()->serviceOwner(itemName).value());
        // The watcher reaches the item by what it was given.
        const QString given = m_watcher->registrations.at(0).first;
        const QString reachAt = given.startsWith(u'/') ? m_watcher->registrations.at(0).second : given;
        m_toolTipChanges = 0;
        QVERIFY(m_host->connect(itemName, u"/StatusNotifierItem"_s, u"org.kde.StatusNotifierItem"_s, u"NewToolTip"_s,
                                this, SLOT(countToolTipChange())));
        const auto description = [&] {
            return qdbus_cast<SniToolTip>(properties(reachAt).value(u"ToolTip"_s).value<QDBusArgument>()).description;
        };
        item->setFigures(StatusFigures{13, 63});
        const QVariantMap map = properties(reachAt);
        QCOMPARE(map.value(u"XAyatanaLabel"_s).toString(), u"13/63");
        QCOMPARE(description(), u"CPU 13 % · Memory 63 %");
        const auto icons = qdbus_cast<SniIconPixmapList>(map.value(u"IconPixmap"_s).value<QDBusArgument>());
        QCOMPARE(icons.size(), TrayIconRenderer::sizes().size());
        QCOMPARE(QSize(icons.at(0).width, icons.at(0).height), QSize(22, 22));
        const QImage expected = TrayIconRenderer::render(
            u"13/63"_s, icons.at(0).height, glyph ? TrayIconRenderer::Face::glyph : TrayIconRenderer::Face::title);
        QCOMPARE(fromSniIconPixmap(icons.at(0)), expected.convertToFormat(QImage::Format_ARGB32));

        // Label hosts reserve the guide's width: no title of two whole
        // percentages may be wider, or the label would jump.
        const QFontMetrics metrics(QFont(u"DejaVu Sans"_s, 11));
        const int guide = metrics.horizontalAdvance(map.value(u"XAyatanaLabelGuide"_s).toString());
        for (int cpu = 0; cpu <= 100; ++cpu)
            for (int memory = 0; memory <= 100; memory += 1)
                if (metrics.horizontalAdvance(u"%1/%2"_s.arg(cpu).arg(memory)) > guide)
                    QFAIL(qPrintable(u"%1/%2 is wider than the label guide"_s.arg(cpu).arg(memory)));

        // While the panel is open the tooltip stays as it was: Xfce's panel
        // shows it again over the panel whenever it reads a different one
        // (also an empty one), and the panel's grab then holds it there.
        // Closing brings it up to date, announced once, and only if the
        // figures changed.
        QTRY_COMPARE(m_toolTipChanges, 1);
        item->setPanelOpen(true);
        item->setPanelOpen(false); // nothing changed: nothing to announce
        item->setPanelOpen(true);
        item->setFigures(StatusFigures{14, 63});
        item->setFigures(StatusFigures{15, 63});
        QCOMPARE(description(), u"CPU 13 % · Memory 63 %");
        item->setPanelOpen(false);
        QTRY_COMPARE(m_toolTipChanges, 2);
        QCOMPARE(description(), u"CPU 15 % · Memory 63 %");
        QCOMPARE(m_toolTipChanges, 2);

        const auto menu = [&](const QString &method, const QVariantList &args) {
            return call(reachAt, u"/MenuBar"_s, method, args, u"com.canonical.dbusmenu"_s);
        };
        const auto items = qdbus_cast<DBusMenuLayoutItem>(
                               menu(u"GetLayout"_s, {0, -1, QStringList()}).arguments().value(1).value<QDBusArgument>())
                               .children;
        QCOMPARE(items.size(), 2);
        QCOMPARE(items.at(0).properties.value(u"label"_s).toString(), u"Open Pelmora");
        QCOMPARE(items.at(1).properties.value(u"label"_s).toString(), u"Quit");
        const auto event = [&](int id, const char *kind) {
            return menu(u"Event"_s, {id, QLatin1String(kind), QVariant::fromValue(QDBusVariant(QString())), 0u}).type();
        };
        event(items.at(0).id, "hovered"); // hovering is not choosing
        event(items.at(0).id, "clicked");
        event(items.at(1).id, "clicked");
        QCOMPARE(open.size(), 1);
        QCOMPARE(quit.size(), 1);
        m_host->disconnect(itemName, u"/StatusNotifierItem"_s, u"org.kde.StatusNotifierItem"_s, u"NewToolTip"_s, this,
                           SLOT(countToolTipChange()));
        item.reset(); // hosts drop an item when its name goes away
        QTRY_VERIFY(!m_host->interface()->isServiceRegistered(itemName).value());
    }

    // A watcher that drops or refuses the item gets it again, a bounded number of times.
    void keepsItsItemListed_data()
    {
        QTest::addColumn<int>("drops");
        QTest::addColumn<bool>("announced");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<int>("registrations");
        QTest::addColumn<Mode>("mode");
        QTest::addColumn<QString>("separator");
        QTest::newRow("listed as GNOME lists it") << 0 << true << false << 1 << Mode::statusNotifier << u"@"_s;
        QTest::newRow("dropped once, announced") << 1 << true << false << 2 << Mode::statusNotifier << QString();
        QTest::newRow("dropped twice, silently") << 2 << false << false << 3 << Mode::statusNotifier << QString();
        QTest::newRow("dropped every time") << -1 << true << false << 4 << Mode::none << QString();
        QTest::newRow("refused") << 0 << true << true << 4 << Mode::none << QString();
    }
    void keepsItsItemListed()
    {
        QFETCH(int, drops);
        QFETCH(bool, announced);
        QFETCH(bool, refused);
        QFETCH(int, registrations);
        QFETCH(Mode, mode);
        QFETCH(QString, separator);
        m_watcher->separator = separator;
        m_watcher->drops = drops;
        m_watcher->announceDrops = announced;
        m_watcher->refuse = refused;
        const TrayItem::Options options{.bus = newBus(), .retryDelay = 20ms, .retryLimit = 3, .confirmDelay = 400ms};
        auto item = std::make_unique<TrayItem>(options);
        QSignalSpy modes(item.get(), &TrayItem::modeChanged);
        QTRY_COMPARE(item->registrationCount(), registrations);
        if (mode == Mode::none) {
            QTRY_COMPARE(item->mode(), Mode::none);
        } else {
            // Every registration is checked once, through the list; after the
            // last check, for longer than any back-off, nothing more is sent.
            QTRY_COMPARE(m_watcher->listReads, registrations);
            QVERIFY(holdsFor([&] { return item->registrationCount() == registrations; },
                             options.retryDelay * (1 << options.retryLimit)));
            QCOMPARE(m_watcher->listed.size(), 1);
            QCOMPARE(modes.size(), 1); // taken, and never let go
            QCOMPARE(item->mode(), Mode::statusNotifier);
        }
        QCOMPARE(item->registrationCount(), registrations);
    }

    // A watcher that never answers is no host: the window comes after the
    // grace period, it is asked a bounded number of times, and a watcher
    // that answers in its place gets the item.
    void aWatcherThatNeverAnswers()
    {
        stopWatcher();
        MuteWatcher mute;
        QDBusConnection panel = newBus();
        QVERIFY(panel.registerObject(u"/StatusNotifierWatcher"_s, &mute, QDBusConnection::ExportScriptableContents));
        QVERIFY(panel.registerService(u"org.kde.StatusNotifierWatcher"_s));
        const TrayItem::Options options{
            .bus = newBus(), .hostGrace = 200ms, .watcherTimeout = 100ms, .retryDelay = 20ms, .retryLimit = 2};
        auto item = std::make_unique<TrayItem>(options);
        QSignalSpy modes(item.get(), &TrayItem::modeChanged);
        QCOMPARE(item->mode(), Mode::searching);
        QTRY_COMPARE(item->mode(), Mode::none);
        QTRY_COMPARE(item->registrationCount(), 3);
        QTRY_COMPARE(mute.calls, 3);
        QCOMPARE(modes.size(), 1);
        QVERIFY(panel.unregisterService(u"org.kde.StatusNotifierWatcher"_s));
        QVERIFY(startWatcher());
        QTRY_COMPARE(item->mode(), Mode::statusNotifier);
        // The last call to the silent watcher times out after the new one took
        // the item: that stale answer changes nothing.
        QVERIFY(holdsFor([&] { return item->mode() == Mode::statusNotifier && m_watcher->registrations.size() == 1; },
                         3 * options.watcherTimeout));
    }

    void followsTheWatcher()
    {
        stopWatcher(); // a panel that starts after us
        QDBusConnection bus = newBus();
        auto item = std::make_unique<TrayItem>(TrayItem::Options{.bus = bus, .hostGrace = 800ms});
        QSignalSpy modes(item.get(), &TrayItem::modeChanged);
        QCOMPARE(item->mode(), Mode::searching);
        // A round trip on the item's connection: its watch on the name is in place.
        QVERIFY(bus.interface()->isServiceRegistered(u"org.freedesktop.DBus"_s).value());
        QVERIFY(startWatcher());
        QTRY_COMPARE(item->mode(), Mode::statusNotifier);
        QCOMPARE(m_watcher->registrations.size(), 1);
        QCOMPARE(modes.size(), 1);
        // A panel restart: the name goes away and comes back within the grace period.
        stopWatcher();
        QTRY_COMPARE(item->mode(), Mode::searching);
        QVERIFY(startWatcher());
        QTRY_COMPARE(m_watcher->registrations.size(), 2);
        QTRY_COMPARE(item->mode(), Mode::statusNotifier);
        // Past the grace period the item is still taken: no fallback.
        QVERIFY(holdsFor([&] { return item->mode() == Mode::statusNotifier; }, 1000ms));
        QCOMPARE(modes.size(), 3);
        // Gone for good: after the grace period there is no item (offscreen: no XEmbed).
        stopWatcher();
        QTRY_COMPARE(item->mode(), Mode::none);
        QCOMPARE(modes.size(), 5);
        // A watcher that appears later gets the item.
        QVERIFY(startWatcher());
        QTRY_COMPARE(item->mode(), Mode::statusNotifier);
        QCOMPARE(m_watcher->registrations.size(), 3);
    }

    // Thousands of GetAll calls at once leave no resident memory behind: the
    // heap's free pages go back to the system once the flood is over.
    void aFloodLeavesNoMemoryBehind()
    {
#if defined(__SANITIZE_ADDRESS__)
        QSKIP("the sanitizer's allocator keeps freed memory on purpose");
#endif
        auto item = std::make_unique<TrayItem>(TrayItem::Options{.bus = newBus()});
        item->setFigures(StatusFigures{13, 63});
        QVERIFY(properties(item->serviceName()).contains(u"IconPixmap"_s)); // drawn once
        const qint64 before = residentKiB();
        QDBusMessage getAll = QDBusMessage::createMethodCall(item->serviceName(), u"/StatusNotifierItem"_s,
                                                             u"org.freedesktop.DBus.Properties"_s, u"GetAll"_s);
        getAll << u"org.kde.StatusNotifierItem"_s;
        const auto flood = [&](int count) {
            QList<QDBusPendingCall> calls;
            for (int i = 0; i < count; ++i)
                calls.append(m_host->asyncCall(getAll, 60000));
            QTRY_VERIFY_WITH_TIMEOUT(
                std::all_of(calls.begin(), calls.end(), [](const QDBusPendingCall &c) { return c.isFinished(); }),
                60000);
            QVERIFY(std::none_of(calls.begin(), calls.end(), [](const QDBusPendingCall &c) { return c.isError(); }));
        };
        flood(3000);
        if (QTest::currentTestFailed())
            return;
        const qint64 peak = residentKiB();
        QVERIFY2(peak - before > 8 * 1024, qPrintable(u"%1 → %2 KiB"_s.arg(before).arg(peak))); // the flood weighed
        // The host's side of the flood lives in this process too, and a slow
        // host frees its replies after the item has handed its pages back. A
        // small second burst, once they are freed, has the item do so again.
        flood(200);
        QTRY_VERIFY2_WITH_TIMEOUT(residentKiB() - before < (peak - before) / 4,
                                  qPrintable(u"%1 → %2 → %3 KiB"_s.arg(before).arg(peak).arg(residentKiB())), 5000);
    }

    // A panel opened under GNOME Shell's overview would be hidden: the
    // overview is left first, and only then does the panel open.
    void panelWaitsForTheOverview_data()
    {
        QTest::addColumn<bool>("shell");
        QTest::addColumn<bool>("active");
        QTest::addColumn<bool>("stubborn");
        QTest::addColumn<int>("leaveRequests");
        QTest::newRow("no shell") << false << false << false << 0;
        QTest::newRow("overview closed") << true << false << false << 0;
        QTest::newRow("overview open") << true << true << false << 1;
        QTest::newRow("shell keeps it open") << true << true << true << 1;
    }
    void panelWaitsForTheOverview()
    {
        QFETCH(bool, shell);
        QFETCH(bool, active);
        QFETCH(bool, stubborn);
        TestShell gnome;
        gnome.active = active;
        gnome.stubborn = stubborn;
        if (shell) {
            QVERIFY(m_host->registerObject(u"/org/gnome/Shell"_s, &gnome, QDBusConnection::ExportAllProperties));
            QVERIFY(m_host->registerService(u"org.gnome.Shell"_s));
        }
        ShellOverview overview(newBus());
        int opened = 0;
        bool hiddenWhenOpened = false;
        overview.leaveThen(
            [&] {
                ++opened;
                hiddenWhenOpened = gnome.active;
            },
            1500ms);
        QTRY_COMPARE_WITH_TIMEOUT(opened, 1, 5000);
        QTEST(gnome.leaveRequests, "leaveRequests");
        // Open only once the overview is gone, unless the shell keeps it.
        QCOMPARE(hiddenWhenOpened, stubborn);
        m_host->unregisterObject(u"/org/gnome/Shell"_s);
    }
};

QTEST_MAIN(TestSessionBus)
#include "tst_sessionbus.moc"
