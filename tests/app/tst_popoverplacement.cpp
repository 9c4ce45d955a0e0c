// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "views/PopoverFixture.h"

#include "app/PopoverPlacement.h"
#include "app/PopoverWindow.h"
#include "views/AppMetricRow.h"
#include "views/PopoverView.h"
#include "views/ResizeHandle.h"

#include <QApplication>
#include <QScreen>
#include <QTemporaryFile>
#include <QTest>

using namespace pelmora;

Q_DECLARE_METATYPE(pelmora::TraySpot)

// Runs on one offscreen screen of 1280x800 pixels at scale 2, a small laptop
// screen as Qt sees it: 640x400 units.
class TestPopoverPlacement : public QObject {
    Q_OBJECT
private slots:
    // Near the item, beside its panel, inside the available area of a 1280x800 screen.
    void staysNearTheItemAndOnScreen_data()
    {
        QTest::addColumn<QPoint>("anchor");
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QRect>("expected");
        const QRect belowTopPanel(0, 30, 1280, 770); // a reserved 30-high top panel
        QTest::newRow("reserved top panel") << QPoint(640, 15) << belowTopPanel << QRect(420, 36, 440, 520);
        QTest::newRow("right edge") << QPoint(1270, 15) << belowTopPanel << QRect(840, 36, 440, 520);
        // No reservation (no window manager): the click is the panel's middle.
        QTest::newRow("unreserved top panel") << QPoint(640, 16) << QRect(0, 0, 1280, 800) << QRect(420, 38, 440, 520);
        QTest::newRow("unreserved bottom panel")
            << QPoint(1200, 784) << QRect(0, 0, 1280, 800) << QRect(840, 242, 440, 520);
        QTest::newRow("reserved bottom panel")
            << QPoint(1200, 790) << QRect(0, 0, 1280, 780) << QRect(840, 254, 440, 520);
        QTest::newRow("reserved left panel") << QPoint(15, 300) << QRect(30, 0, 1250, 800) << QRect(30, 280, 440, 520);
        QTest::newRow("too tall, top visible") << QPoint(640, 580) << QRect(0, 0, 1280, 600) << QRect(420, 0, 440, 760);
    }
    void staysNearTheItemAndOnScreen()
    {
        QFETCH(QPoint, anchor);
        QFETCH(QRect, available);
        QFETCH(QRect, expected);
        QCOMPARE(popoverGeometry(expected.size(), anchor, available, QRect(0, 0, 1280, 800)), expected);
    }

    // An item known only by its bar (waybar tells a point inside the item):
    // the corner of the free area where the tray sits, next to the bar.
    void opensInTheTraysCorner_data()
    {
        QTest::addColumn<TraySpot>("spot");
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QRect>("expected");
        QTest::addColumn<int>("reserved"); // Qt::Edge
        using Side = TraySpot::Side;
        QTest::newRow("top bar, tray at its end") << TraySpot{Qt::TopEdge, Side::end} << QRect(0, 30, 1280, 770)
                                                  << QRect(840, 36, 440, 520) << int(Qt::TopEdge);
        QTest::newRow("bottom bar, tray at its start, no reservation")
            << TraySpot{Qt::BottomEdge, Side::start} << QRect(0, 0, 1280, 800)
            << QRect(0, 800 - assumedBarThickness - 6 - 520, 440, 520) << int(Qt::TopEdge);
        QTest::newRow("left bar, tray in its middle") << TraySpot{Qt::LeftEdge, Side::centre} << QRect(30, 0, 1250, 800)
                                                      << QRect(36, 140, 440, 520) << int(Qt::LeftEdge);
        QTest::newRow("bottom bar, taller than the free area")
            << TraySpot{Qt::BottomEdge, Side::end} << QRect(0, 0, 1280, 500) << QRect(840, 0, 440, 520)
            << int(Qt::BottomEdge);
    }
    void opensInTheTraysCorner()
    {
        QFETCH(TraySpot, spot);
        QFETCH(QRect, available);
        QFETCH(QRect, expected);
        const QRect screen(0, 0, 1280, 800);
        QCOMPARE(popoverGeometry(expected.size(), spot, available, screen), expected);
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
    TestPopoverPlacement test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_popoverplacement.moc"
