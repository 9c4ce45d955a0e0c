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
        // Screen 1280x800 with a 30-high panel at the top.
        QTest::newRow("top panel, middle") << QPoint(640, 15) << QRect(420, 30, 440, 520);
        QTest::newRow("top panel, right edge") << QPoint(1270, 15) << QRect(840, 30, 440, 520);
        QTest::newRow("top panel, left edge") << QPoint(5, 15) << QRect(0, 30, 440, 520);
        QTest::newRow("bottom panel") << QPoint(1200, 790) << QRect(840, 264, 440, 520);
    }
    void staysNearTheItemAndOnScreen()
    {
        QFETCH(QPoint, anchor);
        QFETCH(QRect, expected);
        QCOMPARE(popoverGeometry(QSize(440, 520), anchor, QRect(0, 30, 1280, 770)), expected);
    }

    void tallerThanTheScreenKeepsItsTopVisible()
    {
        const QRect r = popoverGeometry(QSize(440, 760), QPoint(640, 700), QRect(0, 0, 1280, 600));
        QCOMPARE(r.top(), 0);
    }
};

QTEST_GUILESS_MAIN(TestPopoverPlacement)
#include "tst_popoverplacement.moc"
