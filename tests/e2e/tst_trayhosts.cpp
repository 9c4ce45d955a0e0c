// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The real pelmora binary in the light tray hosts under Xvfb (xfce4-panel
// holding only the tray or in Debian's stock layout, lxqt-panel, trayer): the
// item shows our drawing of the live title and the host's tooltip, a click
// opens the panel below it, over which no tooltip shows, and which closes
// like a menu, a second start hands over to the first, after the host
// restarts the item and its menu are back, and the menu's Quit ends the
// program. With no tray the panel becomes an ordinary window that makes
// way for a tray that comes later and ends the program when closed.
// Screenshots land in the build tree.
#include "app/tray/TrayIconRenderer.h"

#include "testsupport/DesktopSession.h"
#include "testsupport/FixtureTree.h"

#include <QPainter>
#include <QtDBus>
#include <QtTest>

#include <functional>
#include <limits>

using pelmora::DesktopSession;
using pelmora::TrayIconRenderer;
using Tray = DesktopSession::Tray;

namespace {

const QRect screenRect(0, 0, 1280, 800);
const QString shotDir = QStringLiteral(PELMORA_BINARY_DIR "/tests/screenshots");

QString text(const QRect &r)
{
    return QStringLiteral("%1x%2+%3+%4").arg(r.width()).arg(r.height()).arg(r.x()).arg(r.y());
}

// The smallest mean per-channel difference (0-255) between a 22 px patch of
// `area` and our drawing of `title` over the area's corner colour: drawn at 22
// px, or larger and scaled down (xfce4-panel takes the largest pixmap and scales it).
double iconDifference(const QImage &screen, const QRect &area, const QString &title)
{
    double best = std::numeric_limits<double>::max();
    for (int size : TrayIconRenderer::sizes()) {
        QImage expected(22, 22, QImage::Format_RGB32);
        expected.fill(screen.pixel(area.topLeft()));
        QPainter(&expected).drawImage(0, 0,
                                      TrayIconRenderer::render(title, size, TrayIconRenderer::Face::title)
                                          .scaled(22, 22, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        for (int y = area.top(); y + 22 <= area.bottom() + 1; ++y)
            for (int x = area.left(); x + 22 <= area.right() + 1; ++x) {
                double sum = 0;
                for (int j = 0; j < 22; ++j)
                    for (int i = 0; i < 22; ++i) {
                        const QRgb a = screen.pixel(x + i, y + j), b = expected.pixel(i, j);
                        sum += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b))
                            + std::abs(qBlue(a) - qBlue(b));
                    }
                best = std::min(best, sum / (3.0 * 22 * 22));
            }
    }
    return best;
}

} // namespace

class TestTrayHosts : public QObject {
    Q_OBJECT

    FixtureTree dataDir; // a desktop entry for pelmora_testapp, so that the title has figures to show
    std::unique_ptr<DesktopSession> desktop;
    QProcess *pelmora = nullptr;

    QDBusConnection bus() const { return QDBusConnection::connectToBus(desktop->busAddress(), "trayhosts-e2e"); }

    QProcess *startPelmora(const QStringList &environment = {})
    {
        return desktop->startProgram(
            "/usr/bin/env", QStringList{"XDG_DATA_DIRS=" + dataDir.path()} + environment + QStringList{PELMORA_BINARY});
    }

    // pelmora's visible window that is 440 wide: the panel (its tray icon is a window too); 0 if none.
    quint64 popoverWindow() const { return desktop->visibleWindowOfWidth(pelmora->processId(), 440).first; }
    QRect popover() const { return desktop->visibleWindowOfWidth(pelmora->processId(), 440).second; }

    // The title pelmora's StatusNotifierItem carries (published on the bus even
    // when it docks through XEmbed). A plain call: QDBusInterface would
    // introspect (and Qt caches that for good).
    QString label() const
    {
        return desktop
            ->busProperty(QStringLiteral("org.kde.StatusNotifierItem-%1-1").arg(pelmora->processId()),
                          "/StatusNotifierItem", "org.kde.StatusNotifierItem", "XAyatanaLabel", 2000)
            .toString();
    }

    // The item as the host shows it: registered with the watcher (StatusNotifierItem
    // hosts), or a window of pelmora's inside the tray (XEmbed).
    QRect item() const
    {
        const QRect tray = desktop->trayGeometry();
        if (!desktop->hostsStatusNotifierItems()) {
            for (quint64 id : desktop->visibleWindowsOf(pelmora->processId()))
                if (const QRect rect = desktop->windowGeometry(id); tray.contains(rect))
                    return rect;
            return {};
        }
        const QString owner = bus().interface()->serviceOwner("org.pelmora.Pelmora");
        const QStringList items = desktop->registeredStatusNotifierItems();
        const QString named = QStringLiteral("org.kde.StatusNotifierItem-%1-").arg(pelmora->processId());
        if (owner.isEmpty() || !std::any_of(items.begin(), items.end(), [&](const QString &i) {
                return i.startsWith(owner + '/') || i.startsWith(named);
            }))
            return {};
        // Our badge's light fill, found on the screen inside the tray: exactly one.
        const QList<QRect> found = desktop->findSquares(tray, {qRgb(246, 246, 244)}, 12, 40);
        return found.size() == 1 ? found.constFirst() : QRect();
    }

    QList<quint64> windowIds() const
    {
        QList<quint64> ids;
        for (const auto &window : desktop->topLevelWindows())
            ids << window.first;
        return ids;
    }

    // Saves a screenshot once `area` shows more than one colour and looks the
    // same in two shots in a row: painted, and not midway.
    bool screenshotOncePainted(const QString &path, const QRect &area) const
    {
        const auto oneColour = [](const QImage &image) {
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (image.pixel(x, y) != image.pixel(0, 0))
                        return false;
            return true;
        };
        QImage last;
        return QTest::qWaitFor(
            [&] {
                const QImage screen = desktop->grab();
                const QImage now = screen.copy(area);
                const bool painted = !now.isNull() && now == last && !oneColour(now);
                last = now;
                return painted && screen.save(path);
            },
            5000);
    }

    // A right click on the item opens a menu: the new window of some size; 0 if none.
    std::pair<quint64, QRect> menuAt(const QRect &icon)
    {
        const QList<quint64> before = windowIds();
        if (!desktop->click(icon.center(), 3))
            return {};
        const QDeadlineTimer deadline(5000);
        for (; !deadline.hasExpired(); QTest::qWait(100))
            for (const auto &[id, rect] : desktop->topLevelWindows())
                if (!before.contains(id) && rect.width() > 40 && rect.height() > 20)
                    return {id, rect};
        QStringList shown;
        for (const auto &[id, rect] : desktop->topLevelWindows())
            shown << QStringLiteral("0x%1 %2").arg(id, 0, 16).arg(text(rect));
        qWarning("no new window after a right click at %d,%d; shown: %s", icon.center().x(), icon.center().y(),
                 qPrintable(shown.join(", ")));
        return {};
    }

    // A popup takes the keyboard only once it is mapped, so an Escape sent as
    // soon as it shows can go elsewhere and leave it open, holding the pointer
    // grab that would swallow the next click. Press it until the menu is gone.
    bool closeMenu(quint64 menu)
    {
        for (const QDeadlineTimer deadline(5000); !deadline.hasExpired();)
            if (!desktop->runCommand("xdotool", {"key", "Escape"})
                || QTest::qWaitFor([&] { return !desktop->windowGeometry(menu).isValid(); }, 500))
                return !desktop->windowGeometry(menu).isValid();
        qWarning("the menu 0x%llx stayed open", menu);
        return false;
    }

    QByteArray xprop(const QStringList &arguments) const { return desktop->runTool("xprop", arguments).value_or(""); }

private slots:
    void initTestCase()
    {
        QVERIFY(QFile::exists(dataDir.write("applications/org.pelmora.TestApp.desktop",
                                            desktopEntry("Pelmora Test App", "pelmora_testapp"))));
    }

    void cleanup()
    {
        if (QTest::currentTestFailed() && pelmora)
            qWarning("pelmora: %s, exit code %d, standard error:\n%s",
                     pelmora->state() == QProcess::Running ? "running" : "not running", pelmora->exitCode(),
                     pelmora->readAllStandardError().constData());
        pelmora = nullptr;
        QDBusConnection::disconnectFromBus("trayhosts-e2e");
        desktop.reset();
    }

    void itemStaysThrough_data()
    {
        QTest::addColumn<Tray>("tray");
        QTest::addColumn<bool>("trayOnly");
        QTest::newRow("xfce4-panel") << Tray::xfcePanel << true;
        QTest::newRow("xfce4-panel stock") << Tray::xfcePanel << false;
        QTest::newRow("lxqt-panel") << Tray::lxqtPanel << true;
        QTest::newRow("trayer") << Tray::trayer << true;
    }
    void itemStaysThrough()
    {
        QFETCH(Tray, tray);
        QFETCH(bool, trayOnly);
        desktop = std::make_unique<DesktopSession>(DesktopSession::Options{.tray = tray, .trayOnlyPanel = trayOnly});
        START_DESKTOP_OR_SKIP(*desktop);
        QVERIFY(desktop->startProgram(PELMORA_BINARY_DIR "/tests/helpers/pelmora_testapp", {"--busy"}));
        QVERIFY(pelmora = startPelmora());
        // A placeholder title first; the second refresh, five seconds in, makes the first real one.
        QTRY_COMPARE_WITH_TIMEOUT(label(), "--/--", 10000);
        QRect icon;
        QTRY_VERIFY_WITH_TIMEOUT((icon = item()).isValid(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(QRegularExpression("^\\d+/\\d+$").match(label()).hasMatch(), 15000);

        // The icon shows the title it had before and after the screenshot, and not other figures.
        const QString shot = shotDir + "/pelmora-" + QString(QTest::currentDataTag()).replace(' ', '-') + ".png";
        const QRect around = icon.adjusted(-4, -4, 4, 4) & screenRect;
        double own = 0, other = 0;
        // Waited for once: QTRY_* would take a new screenshot after the
        // matching one, and the title may have moved on by then.
        const bool drawn = QTest::qWaitFor(
            [&] {
                const QString title = label();
                if (!desktop->screenshot(shot) || label() != title)
                    return false;
                const QImage screen(shot);
                own = iconDifference(screen, around, title);
                other = iconDifference(screen, around, title == "88/88" ? "11/11" : "88/88");
                return own < 6 && other > own + 20;
            },
            10000);
        QVERIFY2(
            drawn,
            qPrintable(QStringLiteral("icon differs by %1, other figures by %2 in %3").arg(own).arg(other).arg(shot)));

        // Hovering over the item shows the host's tooltip; the click that opens
        // the panel takes it down. Xfce's panel shows it again as soon as the
        // tooltip it reads changes, over the open panel, whose grab then holds it
        // there with old figures. While the panel is open no tooltip shows, new
        // figures or not; once it closes, hovering shows one again.
        // Windows that come besides those there now and the panel: tooltips.
        const QList<quint64> known = windowIds();
        const auto toolTipShown = [&] {
            const quint64 panel = popoverWindow();
            for (quint64 id : windowIds())
                if (!known.contains(id) && id != panel)
                    return true;
            return false;
        };
        // Away, onto the item, and a step on it: Qt's tooltips wait for a move after the entry.
        const auto hover = [&] {
            const auto moveTo = [&](QPoint point) {
                return desktop->runCommand("xdotool",
                                           {"mousemove", QString::number(point.x()), QString::number(point.y())});
            };
            return moveTo({600, 600}) && moveTo(icon.center() - QPoint(1, 1)) && moveTo(icon.center());
        };
        QVERIFY(hover());
        QTRY_VERIFY_WITH_TIMEOUT(toolTipShown(), 5000);

        // A click opens the panel below the item, inside the screen.
        QVERIFY(desktop->click(icon.center()));
        QRect shown;
        QTRY_VERIFY_WITH_TIMEOUT((shown = popover()).isValid(), 5000);
        QCOMPARE(shown.size(), QSize(440, 520));
        QVERIFY2(screenRect.contains(shown) && shown.top() >= icon.bottom() && shown.top() <= icon.bottom() + 20
                     && (shown.left() <= icon.center().x() + 1 || shown.right() >= 1279),
                 qPrintable(QStringLiteral("panel %1, item %2").arg(text(shown), text(icon))));
        QTRY_VERIFY_WITH_TIMEOUT(desktop->isOnScreen(popoverWindow()), 5000);
        QVERIFY(screenshotOncePainted(QString(shot).replace(".png", "-popover.png"), shown));
        // New figures under the open panel: an application that takes 3 % of the memory.
        const QString before = label();
        QVERIFY(desktop->startProgram(PELMORA_BINARY_DIR "/tests/helpers/pelmora_testapp", {"--idle", "--hold", "3"}));
        QTRY_VERIFY_WITH_TIMEOUT(label() != before, 15000);
        QVERIFY2(!QTest::qWaitFor(toolTipShown, 2500), "a tooltip over the open panel");
        QVERIFY(popover().isValid());
        QVERIFY(desktop->runCommand("xdotool", {"key", "Escape"}));
        QTRY_VERIFY_WITH_TIMEOUT(!popover().isValid(), 5000);
        QVERIFY(hover());
        QTRY_VERIFY_WITH_TIMEOUT(toolTipShown(), 5000);

        // Each way of closing closes it for good, and never ends the program.
        const QList<std::pair<const char *, std::function<bool()>>> closers{
            {"a second click", [&] { return desktop->click(icon.center()); }},
            {"Escape",
             [&] {
                 return desktop->runCommand("xdotool", {"key", "Escape"});
             }},
            {"a click elsewhere", [&] { return desktop->click(QPoint(100, 700)); }}};
        for (const auto &[how, close] : closers) {
            if (!popover().isValid())
                QVERIFY(desktop->click(icon.center()));
            QTRY_VERIFY_WITH_TIMEOUT(popover().isValid(), 5000);
            QVERIFY2(close(), how);
            QTRY_VERIFY2_WITH_TIMEOUT(!popover().isValid(), how, 5000);
            // Polled for a while: a click that also reaches the item would open it again.
            QVERIFY2(
                !QTest::qWaitFor([&] { return popover().isValid() || pelmora->state() != QProcess::Running; }, 700),
                how);
        }

        // A second start hands over: the first one opens its panel where the
        // click did, wherever the pointer is now.
        QVERIFY(desktop->runCommand("xdotool", {"mousemove", "700", "600"}));
        QProcess *second = desktop->startProgram(PELMORA_BINARY);
        QVERIFY(second && second->waitForFinished(10000));
        QCOMPARE(second->exitCode(), 0);
        QCOMPARE(second->readAllStandardError().count('\n'), 1);
        QTRY_COMPARE_WITH_TIMEOUT(popover(), shown, 5000);
        QVERIFY(desktop->runCommand("xdotool", {"key", "Escape"}));
        QTRY_VERIFY_WITH_TIMEOUT(!popover().isValid(), 5000);

        // The host restarts: item and menu are back, and no window was left behind.
        std::pair<quint64, QRect> menu;
        for (int round = 0; round < 2; ++round) {
            QCOMPARE(desktop->restartTray(), DesktopSession::Start::ready);
            QTRY_VERIFY_WITH_TIMEOUT((icon = item()).isValid(), 10000);
            QVERIFY2((menu = menuAt(icon)).first,
                     qPrintable(QStringLiteral("no menu after restart %1").arg(round + 1)));
            QVERIFY(!popover().isValid());
            if (round == 0)
                QVERIFY(closeMenu(menu.first));
        }
        // "Quit", the lower of its two items, ends pelmora.
        QVERIFY(screenshotOncePainted(QString(shot).replace(".png", "-menu.png"), menu.second));
        QVERIFY(desktop->click(QPoint(menu.second.center().x(), menu.second.top() + menu.second.height() * 3 / 4)));
        QVERIFY(pelmora->waitForFinished(5000));
        QCOMPARE(pelmora->exitStatus(), QProcess::NormalExit);
        QCOMPARE(pelmora->exitCode(), 0);
    }

    // At twice the scale on 1280x800 under a 27 px strip (Qt rounds the free
    // area's top and height both up there) the whole panel lies in the free area.
    void fitsTheFreeAreaAtScaleTwo()
    {
        desktop = std::make_unique<DesktopSession>(DesktopSession::Options{
            .tray = Tray::trayer, .windowManager = DesktopSession::WindowManager::openbox, .trayerHeight = 27});
        START_DESKTOP_OR_SKIP(*desktop);
        QVERIFY(pelmora = startPelmora({"QT_SCALE_FACTOR=2"}));
        QRect icon;
        QTRY_VERIFY_WITH_TIMEOUT((icon = item()).isValid(), 5000);
        QVERIFY(desktop->click(icon.center()));
        QRect shown;
        QTRY_VERIFY_WITH_TIMEOUT((shown = desktop->visibleWindowOfWidth(pelmora->processId(), 880).second).isValid(),
                                 5000);
        const QRect free(0, 27, 1280, 773);
        QVERIFY2(free.contains(shown), qPrintable(text(shown)));
    }

    void windowWithoutTray()
    {
        desktop = std::make_unique<DesktopSession>(DesktopSession::Options{.tray = Tray::none});
        START_DESKTOP_OR_SKIP(*desktop);
        if (QStandardPaths::findExecutable("openbox").isEmpty() || QStandardPaths::findExecutable("trayer").isEmpty())
            QSKIP("needs openbox and trayer");
        QVERIFY(desktop->startProgram("openbox"));
        QElapsedTimer sinceStart;
        sinceStart.start();
        QVERIFY(pelmora = desktop->startProgram(PELMORA_BINARY));
        // Nothing during the grace period (ten seconds), then an ordinary window.
        QTRY_VERIFY_WITH_TIMEOUT(popover().isValid(), 15000);
        QVERIFY2(sinceStart.elapsed() >= 3000, qPrintable(QString::number(sinceStart.elapsed())));
        quint64 window = popoverWindow();
        const QString id = QString::number(window);
        QVERIFY(xprop({"-id", id, "_NET_WM_NAME"}).contains("\"Pelmora\""));
        QVERIFY(xprop({"-id", id, "_NET_WM_ICON"}).contains("Icon"));
        QVERIFY(!xprop({"-id", id, "_NET_WM_STATE"}).contains("SKIP_TASKBAR"));
        QVERIFY(!xprop({"-id", id, "WM_TRANSIENT_FOR"}).contains("window id"));
        QVERIFY2(xprop({"-root", "_NET_CLIENT_LIST"}).contains(QByteArray::number(window, 16)),
                 "not managed by the window manager");

        // A tray that comes later takes the panel back into the item.
        QProcess *trayer = desktop->startProgram(
            "trayer",
            {"--edge", "top", "--align", "right", "--widthtype", "pixel", "--width", "120", "--height", "32"});
        QVERIFY(trayer);
        QTRY_VERIFY_WITH_TIMEOUT(!popover().isValid(), 10000);
        // Gone again: after the grace period the window is back, and closing it ends pelmora.
        trayer->terminate();
        QVERIFY(trayer->waitForFinished(5000));
        QTRY_VERIFY_WITH_TIMEOUT((window = popoverWindow()) != 0, 20000);
        QVERIFY(desktop->runCommand("wmctrl", {"-ic", QStringLiteral("0x%1").arg(window, 0, 16)}));
        QVERIFY(pelmora->waitForFinished(5000));
        QCOMPARE(pelmora->exitStatus(), QProcess::NormalExit);
        QCOMPARE(pelmora->exitCode(), 0);
        QVERIFY(pelmora->readAllStandardError().contains("no system tray"));
    }
};

QTEST_MAIN(TestTrayHosts)
#include "tst_trayhosts.moc"
