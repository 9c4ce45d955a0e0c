// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Where the panel opens: what a host's click point says about where the item
// is, which hosts' points are taken and which are known to be off, what is
// remembered for an open that tells nothing (a second start), and a real
// panel opening next to that point.
#include "app/ItemLocator.h"
#include "app/PopoverWindow.h"
#include "app/wayland/WaybarConfig.h"

#include <QLineEdit>
#include <QMenu>
#include <QtTest>

using namespace pelmora;

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
        const ItemAnchor anchor = locator.activated(point, host);
        QCOMPARE(anchor.point, expected);
        if (!expected)
            QCOMPARE(anchor.spot, topEnd);
        // A second start opens where the click did, not at the pointer.
        QCOMPARE(locator.remembered(), anchor);
    }

    // Before any click, and under XWayland (whose pointer is stale): never the pointer.
    void nothingToldOpensByTheBar()
    {
        ItemLocator x11(desktop(true, true, "Openbox"));
        QCOMPARE(x11.remembered(), (ItemAnchor{std::nullopt, topEnd}));
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

    // The Wayland panel: a window that closes when the focus leaves it for
    // another window, but not for a menu of its own; the click on the item
    // that took the focus away does not open it again.
    void focusPanelClosesLikeAMenu()
    {
        PopoverWindow window(PopoverWindow::Style::panel, PopoverWindow::PanelKind::focusWindow,
                             std::make_unique<PanelPlacer>());
        auto *content = new QLineEdit;
        content->setFixedSize(200, 100);
        window.setContent(content);
        QSignalSpy closed(&window, &PopoverWindow::closed);
        const ItemAnchor anchor{QPoint(600, 10), {}};
        window.openAt(anchor);
        QVERIFY(QTest::qWaitForWindowActive(&window));

        QMenu menu;
        menu.addAction(QStringLiteral("Show processes"));
        menu.popup(window.mapToGlobal(QPoint(20, 20)));
        QVERIFY(QTest::qWaitForWindowExposed(&menu));
        QVERIFY(!QTest::qWaitFor([&] { return !window.isVisible(); }, 300)); // polled past the grace a lost focus gets
        menu.close();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));

        QWidget elsewhere;
        elsewhere.setGeometry(100, 300, 100, 100);
        elsewhere.show();
        elsewhere.activateWindow();
        QTRY_VERIFY(!window.isVisible());
        QCOMPARE(closed.size(), 1);
        window.toggle(anchor); // the same click, arriving at the item
        QVERIFY(!window.isVisible());
        window.toggle(anchor);
        QVERIFY(window.isVisible());
        window.toggle(anchor);
        QVERIFY(!window.isVisible());
    }
};

QTEST_MAIN(TestPopoverWindow)
#include "tst_popoverwindow.moc"
