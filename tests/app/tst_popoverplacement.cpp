// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/PopoverPlacement.h"

#include <QTest>

using namespace pelmora;

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
        QTest::newRow("unreserved bottom panel") << QPoint(1200, 784) << QRect(0, 0, 1280, 800) << QRect(840, 242, 440, 520);
        QTest::newRow("reserved bottom panel") << QPoint(1200, 790) << QRect(0, 0, 1280, 780) << QRect(840, 254, 440, 520);
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
};

QTEST_GUILESS_MAIN(TestPopoverPlacement)
#include "tst_popoverplacement.moc"
