// The real pelmora binary under Xvfb: in xfce4-panel its item shows a live
// title and a click opens the popover below it, which closes like a menu; on
// trayer (XEmbed) and with no tray at all it falls back. Screenshots land in
// the build tree.
#include "testsupport/DesktopSession.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QtTest>

#include <functional>

using pelmora::DesktopSession;

namespace {
const QString shotDir = QStringLiteral(PELMORA_BINARY_DIR "/tests/screenshots");
}

class TestPelmoraInPanel : public QObject {
    Q_OBJECT

    QTemporaryDir dataDir;
    std::unique_ptr<DesktopSession> desktop;
    QProcess *pelmora = nullptr;

    // pelmora, with a desktop entry for a running helper so that its title goes live.
    bool startPelmora()
    {
        pelmora = nullptr;
        if (desktop->startProgram(PELMORA_BINARY_DIR "/tests/helpers/pelmora_testapp", {"--busy"}))
            pelmora = desktop->startProgram("/usr/bin/env", {"XDG_DATA_DIRS=" + dataDir.path(), PELMORA_BINARY});
        return pelmora;
    }

    // pelmora's visible window that is 440 wide (its tray icon is a window too).
    QRect popover() const
    {
        for (quint64 id : desktop->visibleWindowsOf(pelmora->processId()))
            if (const QRect geometry = desktop->windowGeometry(id); geometry.width() == 440)
                return geometry;
        return {};
    }

private slots:
    void initTestCase()
    {
        QFile entry(dataDir.filePath("applications/org.pelmora.TestApp.desktop"));
        QVERIFY(QDir(dataDir.path()).mkpath("applications") && entry.open(QIODevice::WriteOnly));
        entry.write("[Desktop Entry]\nType=Application\nName=Pelmora Test App\nExec=pelmora_testapp\n");
    }

    // On a failure, says whether pelmora still ran and what it printed; then stops the desktop.
    void cleanup()
    {
        if (QTest::currentTestFailed() && pelmora)
            qWarning("pelmora: %s, exit code %d, standard error:\n%s",
                     pelmora->state() == QProcess::Running ? "running" : "not running", pelmora->exitCode(),
                     pelmora->readAllStandardError().constData());
        pelmora = nullptr;
        desktop.reset();
    }

    void liveTitleAndPopoverInXfcePanel()
    {
        desktop = std::make_unique<DesktopSession>(DesktopSession::Options{.tray = DesktopSession::Tray::xfcePanel});
        START_DESKTOP_OR_SKIP(*desktop);
        QVERIFY(startPelmora());
        QString service;
        QTRY_VERIFY_WITH_TIMEOUT(!(service = desktop->registeredStatusNotifierItems().value(0)).isEmpty(), 8000);
        QDBusConnection bus = QDBusConnection::connectToBus(desktop->busAddress(), "pelmora-e2e");
        // A plain call: QDBusInterface would introspect (and Qt caches that for good).
        const auto label = [&] {
            QDBusMessage get = QDBusMessage::createMethodCall(service.section('/', 0, 0), "/StatusNotifierItem",
                                                              "org.freedesktop.DBus.Properties", "Get");
            get << QStringLiteral("org.kde.StatusNotifierItem") << QStringLiteral("XAyatanaLabel");
            const QDBusReply<QVariant> reply = bus.call(get, QDBus::Block, 2000);
            return reply.isValid() ? reply.value().toString() : QString();
        };
        QCOMPARE(label(), "--/--");
        // The second refresh, five seconds in, makes the first real title.
        QTRY_VERIFY_WITH_TIMEOUT(QRegularExpression("^\\d+/\\d+$").match(label()).hasMatch(), 15000);
        QDBusConnection::disconnectFromBus(bus.name());

        const QRect tray = desktop->trayGeometry();
        QVERIFY(tray.isValid());
        QVERIFY(desktop->click(tray.center()));
        QRect shown;
        QTRY_VERIFY_WITH_TIMEOUT((shown = popover()).isValid(), 5000);
        QCOMPARE(shown.size(), QSize(440, 520));
        QVERIFY2(shown.top() >= tray.bottom() && shown.top() <= tray.bottom() + 20
                     && (shown.left() <= tray.center().x() + 1 || shown.right() >= 1279),
                 qPrintable(QStringLiteral("popover at %1,%2, tray %3,%4 to %5")
                                .arg(shown.x()).arg(shown.y()).arg(tray.left()).arg(tray.top()).arg(tray.bottom())));
        QTest::qWait(300); // let it paint
        QVERIFY(desktop->screenshot(shotDir + "/pelmora-xfce-popover.png"));

        // Each way of closing closes it for good, and never ends the program.
        const QList<std::pair<const char *, std::function<bool()>>> closers{
            {"a second click", [&] { return desktop->click(tray.center()); }},
            {"Escape", [&] { return desktop->runCommand("xdotool", {"key", "Escape"}); }},
            {"a click elsewhere", [&] { return desktop->click(QPoint(100, 700)); }}};
        for (const auto &[how, close] : closers) {
            if (!popover().isValid())
                QVERIFY(desktop->click(tray.center()));
            QTRY_VERIFY_WITH_TIMEOUT(popover().isValid(), 5000);
            QVERIFY2(close(), how);
            QTRY_VERIFY2_WITH_TIMEOUT(!popover().isValid(), how, 5000);
            QTest::qWait(700);
            QVERIFY2(!popover().isValid(), how);
        }
        QCOMPARE(pelmora->state(), QProcess::Running);
    }

    void fallbacks_data()
    {
        QTest::addColumn<DesktopSession::Tray>("tray");
        QTest::newRow("xembed icon in trayer") << DesktopSession::Tray::trayer;
        QTest::newRow("window without a tray") << DesktopSession::Tray::none;
    }
    void fallbacks()
    {
        QFETCH(DesktopSession::Tray, tray);
        desktop = std::make_unique<DesktopSession>(DesktopSession::Options{.tray = tray});
        START_DESKTOP_OR_SKIP(*desktop);
        QVERIFY(startPelmora());
        const QRect trayArea = desktop->trayGeometry();
        if (tray == DesktopSession::Tray::trayer) {
            // The docked icon is a small window of pelmora's inside trayer's; a click opens the popover below.
            QRect icon;
            QTRY_VERIFY_WITH_TIMEOUT([&] {
                for (quint64 id : desktop->visibleWindowsOf(pelmora->processId()))
                    if (const QRect r = desktop->windowGeometry(id); r.width() <= 64 && trayArea.intersects(r))
                        icon = r;
                return icon.isValid();
            }(), 10000);
            QVERIFY(desktop->click(icon.center()));
        }
        QRect shown;
        QTRY_VERIFY_WITH_TIMEOUT((shown = popover()).isValid(), 15000);
        if (tray == DesktopSession::Tray::trayer) {
            QVERIFY(shown.top() >= trayArea.bottom() && shown.right() <= 1280);
            QTest::qWait(300);
            QVERIFY(desktop->screenshot(shotDir + "/pelmora-trayer-popover.png"));
        } else {
            QByteArray err;
            QTRY_VERIFY2_WITH_TIMEOUT((err += pelmora->readAllStandardError()).contains("no system tray"),
                                      err.constData(), 5000);
        }
    }
};

QTEST_MAIN(TestPelmoraInPanel)
#include "tst_pelmorapanel.moc"
