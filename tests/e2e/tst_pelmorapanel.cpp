// The real pelmora binary in real panels under Xvfb: its item shows a live
// title, a click opens the popover next to the item, and it closes like a
// menu. Screenshots land in the build tree under tests/screenshots.
#include "testsupport/DesktopSession.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using pelmora::DesktopSession;

namespace {

const QString helper = QStringLiteral(PELMORA_BINARY_DIR "/tests/helpers/pelmora_testapp");
const QString shotDir = QStringLiteral(PELMORA_BINARY_DIR "/tests/screenshots");

// On a failed check, says what pelmora was doing: whether it still ran, how
// it ended, what it printed. Declared after the session, so it runs first.
struct FailureReport {
    QProcess *&pelmora;
    ~FailureReport()
    {
        if (!QTest::currentTestFailed() || !pelmora)
            return;
        qWarning("pelmora: %s, exit status %d, standard error:\n%s",
                 pelmora->state() == QProcess::Running ? "running" : "not running", pelmora->exitCode(),
                 pelmora->readAllStandardError().constData());
    }
};

} // namespace

class TestPelmoraInPanel : public QObject {
    Q_OBJECT

    QTemporaryDir dataDir;

    // pelmora with a desktop entry for a helper that this test runs, so the
    // sample has an application and the title goes live.
    QProcess *startPelmora(DesktopSession &desktop, const QStringList &arguments = {})
    {
        QProcess *app = desktop.startProgram(helper, {"--busy"});
        if (!app)
            return nullptr;
        return desktop.startProgram("/usr/bin/env",
                                    QStringList{"XDG_DATA_DIRS=" + dataDir.path(), PELMORA_BINARY} + arguments);
    }

    // The popover: pelmora's visible window that is 440 wide (a tray icon is
    // a window of its own too).
    QRect popoverGeometry(DesktopSession &desktop, qint64 pid)
    {
        for (quint64 id : desktop.visibleWindowsOf(pid)) {
            const QRect geometry = desktop.windowGeometry(id);
            if (geometry.width() == 440)
                return geometry;
        }
        return QRect();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(QFile::exists(helper));
        QDir(dataDir.path()).mkpath("applications");
        QFile entry(dataDir.filePath("applications/org.pelmora.TestApp.desktop"));
        QVERIFY(entry.open(QIODevice::WriteOnly));
        entry.write("[Desktop Entry]\nType=Application\nName=Pelmora Test App\nExec=pelmora_testapp\n");
    }

    void liveTitleAndPopoverInXfcePanel()
    {
        DesktopSession desktop({.tray = DesktopSession::Tray::xfcePanel});
        switch (desktop.start()) {
        case DesktopSession::Start::unavailable: QSKIP(qPrintable(desktop.errorString()));
        case DesktopSession::Start::failed: QFAIL(qPrintable(desktop.errorString()));
        case DesktopSession::Start::ready: break;
        }
        QProcess *pelmora = startPelmora(desktop);
        const FailureReport report{pelmora};
        QVERIFY(pelmora);

        QString service;
        QTRY_VERIFY_WITH_TIMEOUT(!(service = desktop.registeredStatusNotifierItems().value(0)).isEmpty(), 8000);
        service = service.section('/', 0, 0);
        QDBusConnection bus = QDBusConnection::connectToBus(desktop.busAddress(), "pelmora-e2e");
        // A plain call: QDBusInterface would introspect (and Qt caches that for good).
        auto label = [&] {
            QDBusMessage get = QDBusMessage::createMethodCall(service, "/StatusNotifierItem",
                                                              "org.freedesktop.DBus.Properties", "Get");
            get << QStringLiteral("org.kde.StatusNotifierItem") << QStringLiteral("XAyatanaLabel");
            const QDBusReply<QVariant> reply = bus.call(get, QDBus::Block, 2000);
            return reply.isValid() ? reply.value().toString() : QString();
        };
        QCOMPARE(label(), QStringLiteral("--/--"));
        // The second refresh, five seconds in, makes the first real title.
        QTRY_VERIFY_WITH_TIMEOUT(QRegularExpression("^\\d+/\\d+$").match(label()).hasMatch(), 15000);

        const QRect tray = desktop.trayGeometry();
        QVERIFY(tray.isValid());
        QVERIFY(desktop.click(tray.center()));
        QRect popover;
        QTRY_VERIFY_WITH_TIMEOUT((popover = popoverGeometry(desktop, pelmora->processId())).isValid(), 5000);
        QCOMPARE(popover.size(), QSize(440, 520));
        QVERIFY2(popover.top() >= tray.bottom() && popover.top() <= tray.bottom() + 20,
                 qPrintable(QStringLiteral("popover %1,%2 tray bottom %3")
                                .arg(popover.x()).arg(popover.y()).arg(tray.bottom())));
        QVERIFY(popover.left() <= tray.center().x() + 1 || popover.right() >= 1279);
        QTest::qWait(300); // let it paint
        QVERIFY(desktop.screenshot(shotDir + "/pelmora-xfce-popover.png"));

        // A second click on the item closes it, and it stays closed.
        QVERIFY(desktop.click(tray.center()));
        QTRY_VERIFY_WITH_TIMEOUT(!popoverGeometry(desktop, pelmora->processId()).isValid(), 5000);
        QTest::qWait(700);
        QVERIFY(!popoverGeometry(desktop, pelmora->processId()).isValid());

        // Open again; Escape closes it; a click elsewhere closes it too.
        QVERIFY(desktop.click(tray.center()));
        QTRY_VERIFY_WITH_TIMEOUT(popoverGeometry(desktop, pelmora->processId()).isValid(), 5000);
        QVERIFY(desktop.runCommand("xdotool", {"key", "Escape"}));
        QTRY_VERIFY_WITH_TIMEOUT(!popoverGeometry(desktop, pelmora->processId()).isValid(), 5000);
        QVERIFY(desktop.click(tray.center()));
        QTRY_VERIFY_WITH_TIMEOUT(popoverGeometry(desktop, pelmora->processId()).isValid(), 5000);
        QVERIFY(desktop.click(QPoint(100, 700)));
        QTRY_VERIFY_WITH_TIMEOUT(!popoverGeometry(desktop, pelmora->processId()).isValid(), 5000);
        QCOMPARE(pelmora->state(), QProcess::Running); // closing never ends the program
        QDBusConnection::disconnectFromBus(bus.name());
    }

    void popoverFromTheXEmbedFallback()
    {
        DesktopSession desktop({.tray = DesktopSession::Tray::trayer});
        switch (desktop.start()) {
        case DesktopSession::Start::unavailable: QSKIP(qPrintable(desktop.errorString()));
        case DesktopSession::Start::failed: QFAIL(qPrintable(desktop.errorString()));
        case DesktopSession::Start::ready: break;
        }
        QProcess *pelmora = startPelmora(desktop);
        const FailureReport report{pelmora};
        QVERIFY(pelmora);
        // The docked icon is a small window of pelmora's own inside trayer's.
        const QRect tray = desktop.trayGeometry();
        QVERIFY(tray.isValid());
        QRect icon;
        QTRY_VERIFY_WITH_TIMEOUT([&] {
            for (quint64 id : desktop.visibleWindowsOf(pelmora->processId())) {
                const QRect r = desktop.windowGeometry(id);
                if (r.width() <= 64 && tray.intersects(r))
                    icon = r;
            }
            return icon.isValid();
        }(), 10000);
        QVERIFY(desktop.click(icon.center()));
        QRect popover;
        QTRY_VERIFY_WITH_TIMEOUT((popover = popoverGeometry(desktop, pelmora->processId())).isValid(), 5000);
        QCOMPARE(popover.width(), 440);
        QVERIFY(popover.top() >= tray.bottom());
        QVERIFY(popover.right() <= 1280);
        QTest::qWait(300);
        QVERIFY(desktop.screenshot(shotDir + "/pelmora-trayer-popover.png"));
    }

    void windowWhenThereIsNoTray()
    {
        DesktopSession desktop({.tray = DesktopSession::Tray::none});
        switch (desktop.start()) {
        case DesktopSession::Start::unavailable: QSKIP(qPrintable(desktop.errorString()));
        case DesktopSession::Start::failed: QFAIL(qPrintable(desktop.errorString()));
        case DesktopSession::Start::ready: break;
        }
        QProcess *pelmora = startPelmora(desktop);
        const FailureReport report{pelmora};
        QVERIFY(pelmora);
        QRect window;
        QTRY_VERIFY_WITH_TIMEOUT((window = popoverGeometry(desktop, pelmora->processId())).isValid(), 15000);
        QCOMPARE(window.width(), 440);
        QByteArray err;
        QTRY_VERIFY2_WITH_TIMEOUT((err += pelmora->readAllStandardError()).contains("no system tray"), err.constData(), 5000);
    }
};

QTEST_MAIN(TestPelmoraInPanel)
#include "tst_pelmorapanel.moc"
