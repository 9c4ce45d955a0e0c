// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Where the panel opens: what a host's click point says about where the item
// is, which hosts' points are taken and which are known to be off, what is
// remembered for an open that tells nothing (a second start), what waybar's
// configuration and sway's replies tell, where that puts the panel, and a
// real panel opening there, fitting the screen and closing as a menu does.
// Runs on one offscreen screen of 1280x800 pixels at scale 2, a small laptop
// screen as Qt sees it: 640x400 units.
#include "views/PopoverFixture.h"

#include "app/ItemLocator.h"
#include "app/PopoverPlacement.h"
#include "app/PopoverWindow.h"
#include "app/wayland/SwayReplies.h"
#include "app/wayland/WaybarConfig.h"
#include "platform/SwayIpc.h"
#include "views/AppMetricRow.h"
#include "views/PopoverView.h"
#include "views/ResizeHandle.h"

#include <QApplication>
#include <QLineEdit>
#include <QScreen>
#include <QTemporaryFile>
#include <QtTest>

using namespace pelmora;

Q_DECLARE_METATYPE(pelmora::ItemAnchor)

namespace {

const QPoint pointer(1000, 700); // where the pointer happens to be
const TraySpot topEnd{Qt::TopEdge, TraySpot::Side::end};

ItemLocator::Desktop desktop(bool x11, bool pointerTrusted, const QString &windowManager)
{
    ItemLocator::Desktop d;
    d.x11 = x11;
    d.pointerTrusted = pointerTrusted;
    if (x11)
        d.pointer = [] { return pointer; };
    d.x11WindowManager = [windowManager] { return windowManager; };
    d.traySpot = [] { return topEnd; };
    return d;
}

} // namespace

class TestPopoverWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The host's point, kept unless the host is known to give a wrong one
    // here; on X11 proper the pointer stands in for a point not given.
    void takesTheHostsPointWhereItIsRight_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QPoint>("point");
        QTest::addColumn<bool>("x11");
        QTest::addColumn<QString>("windowManager");
        QTest::addColumn<std::optional<QPoint>>("expected");
        const auto row = [](const char *why, const char *host, QPoint point, bool x11, const char *windowManager,
                            std::optional<QPoint> expected) {
            QTest::newRow(why) << QString(host) << point << x11 << QString(windowManager) << expected;
        };
        // Xfce's tray, LXQt, Plasma under KWin, GNOME's extension: screen positions,
        // also when the pointer has moved on (a busy desktop answers late).
        row("xfce, pointer far away", "panel-1-systray", {1250, 14}, true, "Xfwm4", QPoint(1250, 14));
        row("plasma under kwin", "plasmashell", {1180, 778}, true, "KWin", QPoint(1180, 778));
        row("plasma on wayland", "plasmashell", {1180, 778}, false, "", QPoint(1180, 778));
        row("gnome shell on wayland", "gnome-shell", {1100, 12}, false, "", QPoint(1100, 12));
        // Plasma under another window manager: a y inside its own panel window.
        row("plasma under openbox", "plasmashell", {1180, 22}, true, "Openbox", pointer);
        // waybar: a point inside the item; the bar's spot instead.
        row("waybar", "waybar", {10, 14}, false, "", std::nullopt);
        row("waybar under xwayland", "waybar", {10, 14}, true, "", std::nullopt);
        row("no point, x11", "", {}, true, "Openbox", pointer);
        row("no point, wayland", "", {}, false, "", std::nullopt);
    }
    void takesTheHostsPointWhereItIsRight()
    {
        QFETCH(QString, host);
        QFETCH(QPoint, point);
        QFETCH(bool, x11);
        QFETCH(QString, windowManager);
        QFETCH(std::optional<QPoint>, expected);
        ItemLocator locator(desktop(x11, x11, windowManager));
        QCOMPARE(locator.remembered(), (ItemAnchor{std::nullopt, topEnd})); // before any click: never the pointer
        const ItemAnchor anchor = locator.activated(point, host);
        QCOMPARE(anchor.point, expected);
        if (!expected)
            QCOMPARE(anchor.spot, topEnd);
        // A second start opens where the click did, not at the pointer.
        QCOMPARE(locator.remembered(), anchor);
    }

    // Under XWayland (whose pointer is stale) a click that tells nothing is
    // taken where the last one was, never at the pointer.
    void nothingToldOpensByTheBar()
    {
        ItemLocator xwayland(desktop(true, false, ""));
        xwayland.activated(QPoint(1250, 14), "waybar");
        QCOMPARE(xwayland.activated(QPoint(), {}), (ItemAnchor{std::nullopt, topEnd}));
        xwayland.activated(QPoint(1250, 14), "lxqt-panel");
        QCOMPARE(xwayland.activated(QPoint(), {}), (ItemAnchor{QPoint(1250, 14), {}}));
    }

    // waybar's configuration: the bar's edge and the group holding the tray.
    void readsWhereWaybarKeepsItsTray_data()
    {
        QTest::addColumn<QByteArray>("config");
        QTest::addColumn<std::optional<TraySpot>>("expected");
        using Side = TraySpot::Side;
        const auto row = [](const char *why, const char *config, std::optional<TraySpot> expected) {
            QTest::newRow(why) << QByteArray(config) << expected;
        };
        row("stock, with comments",
            "{\n  // \"position\": \"bottom\", (commented out)\n  \"height\": 30, /* a \"block\" comment */\n"
            "  \"modules-left\": [\"sway/workspaces\"],\n  \"modules-right\": [\"clock\", \"tray\"],\n}",
            TraySpot{Qt::TopEdge, Side::end});
        row("bottom, tray in the middle", "{\"position\": \"bottom\", \"modules-center\": [\"tray#main\"]}",
            TraySpot{Qt::BottomEdge, Side::centre});
        row("two bars, the second with the tray",
            "[{\"modules-left\": [\"clock\"]}, {\"position\": \"left\", \"modules-left\": [\"tray\"]}]",
            TraySpot{Qt::LeftEdge, Side::start});
        row("a URL with slashes in a string", "{\"x\": \"http:\x2f/a\x2f/b\", \"modules-right\": [\"tray\"]}",
            TraySpot{Qt::TopEdge, Side::end});
        row("no tray", "{\"modules-right\": [\"clock\"]}", std::nullopt);
        row("not json", "modules-right = tray", std::nullopt);
        row("cut short", "{\"modules-right\": [\"tr", std::nullopt);
    }
    void readsWhereWaybarKeepsItsTray()
    {
        QFETCH(QByteArray, config);
        QTEST(waybarTraySpot(config), "expected");
    }

    // i3-ipc frames, whole or torn or foreign.
    void framesSwayReplies_data()
    {
        QTest::addColumn<QByteArray>("buffer");
        QTest::addColumn<std::optional<QByteArray>>("payload");
        using platform::SwayMessage;
        const QByteArray reply = platform::encodeSwayMessage(SwayMessage::getWorkspaces, "[{}]");
        QTest::newRow("whole") << reply << std::optional<QByteArray>("[{}]");
        QTest::newRow("and more after it") << reply + "i3-ipc" << std::optional<QByteArray>("[{}]");
        QTest::newRow("torn") << reply.left(reply.size() - 1) << std::optional<QByteArray>();
        QTest::newRow("another type") << platform::encodeSwayMessage(SwayMessage::getTree, "[{}]")
                                      << std::optional<QByteArray>();
        QTest::newRow("not i3-ipc") << QByteArray("HTTP/1.1 200 OK\r\n\r\n") << std::optional<QByteArray>();
        QByteArray huge = reply.left(6) + QByteArray(4, '\xff') + reply.mid(10);
        QTest::newRow("absurd length") << huge << std::optional<QByteArray>();
    }
    void framesSwayReplies()
    {
        QFETCH(QByteArray, buffer);
        QTEST(platform::decodeSwayReply(buffer, platform::SwayMessage::getWorkspaces), "payload");
    }

    // The free area in sway's workspace list, its command results, and
    // criteria that match the panel's title literally.
    void readsSwayRepliesAndWritesCriteria()
    {
        const QByteArray workspaces =
            R"([{"num": 1, "focused": false, "rect": {"x": 0, "y": 0, "width": 9, "height": 9}},
            {"num": 2, "focused": true, "rect": {"x": 0, "y": 30, "width": 1280, "height": 770}}])";
        QCOMPARE(sway::focusedWorkspaceArea(workspaces), std::optional<QRect>(QRect(0, 30, 1280, 770)));
        QCOMPARE(sway::focusedWorkspaceArea("[{\"focused\": true}]"), std::optional<QRect>());
        QCOMPARE(sway::focusedWorkspaceArea("not json"), std::optional<QRect>());

        QVERIFY(sway::commandsSucceeded(R"([{"success": true}, {"success": true}])"));
        QVERIFY(!sway::commandsSucceeded(R"([{"success": true}, {"success": false, "error": "No matching node"}])"));
        QVERIFY(!sway::commandsSucceeded("[]"));

        // A title with pattern characters and quotes matches only itself.
        QCOMPARE(sway::criteria(42, QStringLiteral("Pelmora (panel) \"1.0\"")),
                 QStringLiteral("[pid=42 title=\"^Pelmora \\(panel\\) \\\"1\\.0\\\"\"]"));
        QCOMPARE(sway::literalPattern(QStringLiteral("a.b")), QStringLiteral("^a\\.b$"));
    }

    // Near the item, beside its panel, inside the available area of a
    // 1280x800 screen. An item known only by its bar (waybar tells a point
    // inside the item): the corner of the free area where the tray sits.
    void staysNearTheItemAndOnScreen_data()
    {
        QTest::addColumn<ItemAnchor>("anchor");
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QRect>("expected");
        QTest::addColumn<int>("reserved"); // Qt::Edge
        const auto row = [](const char *why, ItemAnchor anchor, QRect available, QRect expected, Qt::Edge reserved) {
            QTest::newRow(why) << anchor << available << expected << int(reserved);
        };
        using Side = TraySpot::Side;
        const QRect screen(0, 0, 1280, 800), belowTopPanel(0, 30, 1280, 770); // a reserved 30-high top panel
        row("reserved top panel", {QPoint(640, 15), {}}, belowTopPanel, {420, 36, 440, 520}, Qt::TopEdge);
        row("right edge", {QPoint(1270, 15), {}}, belowTopPanel, {840, 36, 440, 520}, Qt::TopEdge);
        // No reservation (no window manager): the click is the panel's middle.
        row("unreserved top panel", {QPoint(640, 16), {}}, screen, {420, 38, 440, 520}, Qt::TopEdge);
        row("unreserved bottom panel", {QPoint(1200, 784), {}}, screen, {840, 242, 440, 520}, Qt::TopEdge);
        row("reserved bottom panel", {QPoint(1200, 790), {}}, {0, 0, 1280, 780}, {840, 254, 440, 520}, Qt::BottomEdge);
        row("reserved left panel", {QPoint(15, 300), {}}, {30, 0, 1250, 800}, {30, 280, 440, 520}, Qt::LeftEdge);
        row("too tall, top visible", {QPoint(640, 580), {}}, {0, 0, 1280, 600}, {420, 0, 440, 760}, Qt::BottomEdge);
        row("top bar, tray at its end", {{}, {Qt::TopEdge, Side::end}}, belowTopPanel, {840, 36, 440, 520},
            Qt::TopEdge);
        row("bottom bar, tray at its start, no reservation", {{}, {Qt::BottomEdge, Side::start}}, screen,
            {0, 800 - assumedBarThickness - 6 - 520, 440, 520}, Qt::TopEdge);
        row("left bar, tray in its middle", {{}, {Qt::LeftEdge, Side::centre}}, {30, 0, 1250, 800}, {36, 140, 440, 520},
            Qt::LeftEdge);
        row("bottom bar, taller than the free area", {{}, {Qt::BottomEdge, Side::end}}, {0, 0, 1280, 500},
            {840, 0, 440, 520}, Qt::BottomEdge);
    }
    void staysNearTheItemAndOnScreen()
    {
        QFETCH(ItemAnchor, anchor);
        QFETCH(QRect, available);
        QFETCH(QRect, expected);
        const QRect screen(0, 0, 1280, 800);
        QCOMPARE(popoverGeometry(expected.size(), anchor, available, screen), expected);
        QTEST(int(reservedEdge(available, screen)), "reserved");
    }

    // At scale 2 the stored 520 (or the largest, 760) would be taller than
    // the whole screen: the panel opens as tall as the screen allows, inside
    // it, with Refresh, Quit and the strip on screen, and keeps the stored
    // height for a larger screen. A drag starts from what is shown.
    void fitsTheScreenAtScaleTwo_data()
    {
        QTest::addColumn<double>("stored");
        QTest::newRow("default") << 520.0;
        QTest::newRow("largest") << 760.0;
    }
    void fitsTheScreenAtScaleTwo()
    {
        QFETCH(double, stored);
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(available.size(), QSize(640, 400));
        PopoverFixture fixture;
        PopoverHeightSetting(fixture.settings()).write(stored);
        PopoverWindow window(PopoverWindow::Style::panel);
        auto *view = new PopoverView(*fixture.store, fixture.settings());
        window.setContent(view);
        window.openAt(ItemAnchor{QPoint(630, 4), {}});
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY2(available.contains(window.geometry()), qPrintable(QDebug::toString(window.geometry())));
        QCOMPARE(window.height(), available.height());
        auto *strip = part<ResizeHandle>(*view, "resizeHandle");
        for (QWidget *bottom : {part<QWidget>(*view, "quitButton"), static_cast<QWidget *>(strip)})
            QVERIFY(available.contains(QRect(bottom->mapToGlobal(QPoint()), bottom->size())));
        QCOMPARE(PopoverHeightSetting(fixture.settings()).read(), stored);
        // Pressing the strip without moving stores the height shown.
        emit strip->dragChanged(0);
        emit strip->dragEnded();
        QCOMPARE(PopoverHeightSetting(fixture.settings()).read(), double(available.height()));
        // Where 360 is nearly all there is, the strip still has room to move:
        // up to where one row of the list is left.
        emit strip->dragChanged(-200);
        emit strip->dragEnded();
        QTRY_VERIFY2(window.height() <= available.height() - 60,
                     qPrintable(QStringLiteral("%1, view %2").arg(window.height()).arg(view->height())));
        QVERIFY(part<QWidget>(*view, "applications")->height() >= AppMetricRow::lineHeight());
        QVERIFY(available.contains(window.geometry()));
    }

    // A window (no tray, --window) dragged taller stops at the screen's edge.
    void windowGrowsNoFurtherThanTheScreen()
    {
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        PopoverFixture fixture;
        PopoverHeightSetting(fixture.settings()).write(360);
        PopoverWindow window(PopoverWindow::Style::window);
        auto *view = new PopoverView(*fixture.store, fixture.settings());
        window.setContent(view);
        window.openAt(ItemAnchor());
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.move(window.x(), 20);
        QTRY_VERIFY(std::abs(window.geometry().top() - 20) <= 1); // rounded at scale 2
        auto *strip = part<ResizeHandle>(*view, "resizeHandle");
        QTest::mousePress(strip, Qt::LeftButton);
        emit strip->dragChanged(300);
        emit strip->dragEnded();
        QTest::mouseRelease(strip, Qt::LeftButton);
        QTRY_VERIFY2(available.contains(window.frameGeometry()), qPrintable(QDebug::toString(window.frameGeometry())));
        QTRY_COMPARE(window.frameGeometry().bottom(), available.bottom());
        QCOMPARE(PopoverHeightSetting(fixture.settings()).read(), double(window.height()));
    }

    // A real panel (an X11 popup here) opens next to the point, on its side of the screen.
    void opensNextToThePoint_data()
    {
        QTest::addColumn<QPoint>("point"); // from the screen's top right; y < 0: from its bottom
        QTest::newRow("bottom panel") << QPoint(100, -15);
        QTest::newRow("top panel") << QPoint(100, 15);
    }
    void opensNextToThePoint()
    {
        QFETCH(QPoint, point);
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        point = QPoint(screen.right() - point.x(),
                       point.y() >= 0 ? screen.top() + point.y() : screen.bottom() + 1 + point.y());
        PopoverWindow window(PopoverWindow::Style::panel, PopoverWindow::PanelKind::popup,
                             std::make_unique<PanelPlacer>());
        auto *content = new QWidget;
        content->setFixedSize(120, 100);
        window.setContent(content);
        window.openAt(ItemAnchor{point, {}});
        const QRect shown = window.frameGeometry();
        const QString where = QDebug::toString(shown);
        QVERIFY2(screen.contains(shown), qPrintable(where));
        if (point.y() > screen.center().y())
            QVERIFY2(shown.bottom() < point.y() && shown.top() > screen.center().y(), qPrintable(where));
        else
            QVERIFY2(shown.top() > point.y() && shown.bottom() < screen.center().y(), qPrintable(where));
        QVERIFY2(std::abs(shown.center().x() - point.x()) < 100, qPrintable(where));
    }

    // The panel closes as a menu does: on a press outside it (a popup), or
    // when the focus leaves it for another window but not for a menu of its
    // own (the Wayland panel). The click on the item that closed it then
    // arrives as an activation: within the same-click window it must not
    // reopen it. The window is set to an hour, then to nothing, so that the
    // activation comes within it, then after it, whatever the machine's load.
    void closesLikeAMenu_data()
    {
        QTest::addColumn<PopoverWindow::PanelKind>("kind");
        QTest::newRow("popup") << PopoverWindow::PanelKind::popup;
        QTest::newRow("focus window") << PopoverWindow::PanelKind::focusWindow;
    }
    void closesLikeAMenu()
    {
        QFETCH(PopoverWindow::PanelKind, kind);
        PopoverWindow window(PopoverWindow::Style::panel, kind, std::make_unique<PanelPlacer>());
        auto *content = new QLineEdit;
        content->setFixedSize(200, 100);
        window.setContent(content);
        QSignalSpy closed(&window, &PopoverWindow::closed);
        const auto click = [&] {
            window.toggle(ItemAnchor{QPoint(600, 10), {}});
            return window.isVisible();
        };
        QVERIFY(click());
        QVERIFY(!click()); // a second click on the item closes it
        QVERIFY(click());
        QVERIFY(QTest::qWaitForWindowActive(&window));
        if (kind == PopoverWindow::PanelKind::focusWindow) {
            // A window of its own taking the focus, as its menu does on Wayland.
            QWidget own(&window, Qt::Tool);
            own.show();
            own.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&own));
            QVERIFY(!QTest::qWaitFor([&] { return !window.isVisible(); }, 300)); // polled past the grace
            window.activateWindow();
        }
        QWidget elsewhere;
        elsewhere.setGeometry(100, 300, 100, 100);
        for (const bool sameClick : {true, false}) {
            window.setSameClickWindow(sameClick ? std::chrono::hours(1) : std::chrono::hours(0));
            if (kind == PopoverWindow::PanelKind::popup) {
                QTest::mousePress(&window, Qt::LeftButton, {}, QPoint(-20, -20)); // the click's press, outside
            } else {
                QVERIFY(QTest::qWaitForWindowActive(&window));
                elsewhere.show();
                elsewhere.activateWindow();
            }
            QTRY_VERIFY(!window.isVisible());
            QCOMPARE(click(), !sameClick); // the same click's activation, or a later click
            if (sameClick)
                QVERIFY(click()); // only that one is swallowed
        }
        QCOMPARE(closed.size(), 3);
    }
};

int main(int argc, char **argv)
{
    QTemporaryFile screens;
    if (!screens.open())
        return 1;
    screens.write(R"({"screens": [{"name": "laptop", "x": 0, "y": 0, "width": 1280, "height": 800,
                     "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1.0}]})");
    screens.flush();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(screens.fileName()));
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    TestPopoverWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_popoverwindow.moc"
