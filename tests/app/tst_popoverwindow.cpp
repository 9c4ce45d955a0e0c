// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Where the panel opens for a host's click point: next to the item the
// pointer has just clicked, also when the host's point is off.
#include "app/PopoverWindow.h"

#include <QtTest>

using namespace pelmora;

class TestPopoverWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Points are given from the screen's corners: (x, y) from the right,
    // and from the top when positive, from the bottom when negative.
    void opensAtTheClickedItem_data()
    {
        QTest::addColumn<QPoint>("pointer");
        QTest::addColumn<QPoint>("hostPoint");
        QTest::addColumn<bool>("above"); // the panel opens above the pointer (a bottom panel)
        QTest::newRow("bottom panel, host's point at the pointer") << QPoint(100, -15) << QPoint(100, -15) << true;
        QTest::newRow("bottom panel, host's point inside its panel window") << QPoint(100, -15) << QPoint(100, 15) << true;
        QTest::newRow("bottom panel, no point from the host") << QPoint(100, -15) << QPoint() << true;
        QTest::newRow("top panel, host's point near the pointer") << QPoint(110, 12) << QPoint(100, 15) << false;
    }
    void opensAtTheClickedItem()
    {
        QFETCH(QPoint, pointer);
        QFETCH(QPoint, hostPoint);
        QFETCH(bool, above);
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        const auto onScreen = [&](QPoint p) {
            return QPoint(screen.right() - p.x(), p.y() >= 0 ? screen.top() + p.y() : screen.bottom() + 1 + p.y());
        };
        pointer = onScreen(pointer);
        if (!hostPoint.isNull())
            hostPoint = onScreen(hostPoint);
        QCursor::setPos(pointer);
        QTRY_COMPARE(QCursor::pos(), pointer);
        PopoverWindow window(PopoverWindow::Style::panel);
        auto *content = new QWidget;
        content->setFixedSize(120, 100);
        window.setContent(content);
        window.openAt(hostPoint);
        const QRect shown = window.frameGeometry();
        const QString where = QDebug::toString(shown);
        QVERIFY2(screen.contains(shown), qPrintable(where));
        // Next to the pointer: on its side of the screen, within reach.
        if (above)
            QVERIFY2(shown.bottom() < pointer.y() && shown.top() > screen.center().y(), qPrintable(where));
        else
            QVERIFY2(shown.top() > pointer.y() && shown.bottom() < screen.center().y(), qPrintable(where));
        QVERIFY2(std::abs(shown.center().x() - pointer.x()) < 100, qPrintable(where));
    }
};

QTEST_MAIN(TestPopoverWindow)
#include "tst_popoverwindow.moc"
