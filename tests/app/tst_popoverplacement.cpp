#include "app/PopoverPlacement.h"

#include <QTest>

using namespace pelmora;

class TestPopoverPlacement : public QObject {
    Q_OBJECT
private slots:
    void staysNearTheItemAndOnScreen_data()
    {
        QTest::addColumn<QPoint>("anchor");
        QTest::addColumn<QRect>("expected");
        QTest::addColumn<QRect>("available");
        const QRect screen(0, 0, 1280, 800);
        // A 30-high top panel that the window manager reserves.
        const QRect belowTopPanel(0, 30, 1280, 770);
        QTest::newRow("reserved top panel") << QPoint(640, 15) << QRect(420, 36, 440, 520) << belowTopPanel;
        QTest::newRow("right edge") << QPoint(1270, 15) << QRect(840, 36, 440, 520) << belowTopPanel;
        QTest::newRow("left edge") << QPoint(5, 15) << QRect(0, 36, 440, 520) << belowTopPanel;
        // No reservation (no window manager): the click is the panel's middle.
        QTest::newRow("unreserved top panel") << QPoint(640, 16) << QRect(420, 38, 440, 520) << screen;
        QTest::newRow("unreserved bottom panel") << QPoint(1200, 784) << QRect(840, 242, 440, 520) << screen;
        QTest::newRow("reserved bottom panel") << QPoint(1200, 790) << QRect(840, 254, 440, 520)
                                               << QRect(0, 0, 1280, 780);
    }
    void staysNearTheItemAndOnScreen()
    {
        QFETCH(QPoint, anchor);
        QFETCH(QRect, expected);
        QFETCH(QRect, available);
        QCOMPARE(popoverGeometry(QSize(440, 520), anchor, available, QRect(0, 0, 1280, 800)), expected);
    }

    void tallerThanTheScreenKeepsItsTopVisible()
    {
        const QRect screen(0, 0, 1280, 600);
        const QRect r = popoverGeometry(QSize(440, 760), QPoint(640, 580), screen, screen);
        QCOMPARE(r.top(), 0);
    }
};

QTEST_GUILESS_MAIN(TestPopoverPlacement)
#include "tst_popoverplacement.moc"
