// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "views/PopoverFixture.h"

#include "app/PopoverWindow.h"
#include "views/AppListModel.h"
#include "views/FilterBar.h"
#include "views/MetricColumnHeaderView.h"
#include "views/MetricsSectionView.h"
#include "views/PaddedListView.h"
#include "views/PopoverHeader.h"
#include "views/PopoverView.h"
#include "views/ProcessListView.h"
#include "views/SummaryMetricView.h"
#include "views/SymbolButton.h"

#include <QTest>
#include <QtWidgets>

using namespace pelmora;
using namespace Qt::StringLiterals;

// Pixels of `rect` in the blue of a focus ring.
static int bluePixels(const QImage &image, const QRect &rect)
{
    int count = 0;
    const QRect r = rect.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            count += c.blue() > c.red() + 60;
        }
    }
    return count;
}

static QString accessibleText(QObject *object, QAccessible::Text kind = QAccessible::Name)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(object);
    return iface ? iface->text(kind) : u"<no interface>"_s;
}

// The popover as keyboard and screen-reader users meet it: in its panel window, with the real menu.
class TestKeyboardAccess : public QObject {
    Q_OBJECT

    std::unique_ptr<PopoverFixture> fixture;
    std::unique_ptr<PopoverWindow> window;
    PopoverView *view = nullptr;

    PaddedListView *appList() const { return part<MetricsSectionView>(*view, "applications")->listView(); }
    QWidget *filterField() const { return part<FilterBar>(*view, "filterBar")->field(); }
    QWidget *backButton() const { return part<ProcessListView>(*view, "processList")->header()->backButton(); }
    QWidget *focus() const { return QApplication::focusWidget(); }
    // From the search field past the three sort columns into the list.
    void tabIntoTheList()
    {
        for (int i = 0; i < 4; ++i)
            QTest::keyClick(focus(), Qt::Key_Tab);
        QCOMPARE(focus(), appList());
    }

private slots:
    void init()
    {
        window = std::make_unique<PopoverWindow>(PopoverWindow::Style::panel); // before the old view's store goes
        fixture = std::make_unique<PopoverFixture>();
        window->setContent(view = new PopoverView(*fixture->store, fixture->settings()));
        window->openAt(ItemAnchor{QPoint(640, 10), {}});
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QTRY_COMPARE(focus(), filterField());
    }

    void namesTabOrderListAndMenus()
    {
        // Tab follows the reading order, skipping the hidden clear and back
        // buttons; a sort column shows where focus is only while it has it.
        auto *header = part<MetricColumnHeaderView>(*view, "columnHeader");
        const auto ringed = [&](AppMetricKind kind) {
            return bluePixels(header->grab().toImage(), header->labelInk(kind).toAlignedRect().adjusted(-8, -8, 8, 8));
        };
        QStringList visited;
        QList<int> rings; // around "Apps" and "%CPU", after each of the first three tabs
        for (int i = 0; i < 8; ++i) {
            if (i < 3)
                rings << ringed(AppMetricKind::app) << ringed(AppMetricKind::cpu);
            QTest::keyClick(focus(), Qt::Key_Tab);
            visited << accessibleText(focus());
        }
        QCOMPARE(rings.at(0) + rings.at(1), 0); // focus in the search field
        QVERIFY2(rings.at(2) > 20 && rings.at(3) == 0, qPrintable(QString::number(rings.at(2))));
        QVERIFY(rings.at(4) == 0 && rings.at(5) > 20);
        QCOMPARE(visited,
                 QStringList({u"Sort by app"_s, u"Sort by CPU"_s, u"Sort by memory"_s, u"Applications"_s, u"Refresh"_s,
                              u"Quit"_s, u"Close"_s, u"Filter"_s}));
        // Whatever takes focus has a name, including hidden controls and those added later.
        for (QWidget *widget : view->findChildren<QWidget *>())
            QVERIFY2(!(widget->focusPolicy() & Qt::TabFocus) || !accessibleText(widget).isEmpty(),
                     widget->metaObject()->className());
        // Painted figures and rows reach screen readers too: the machine's
        // figures, the whole name a row cuts short, the row's own figures.
        auto *tiles = part<PopoverHeader>(*view, "header");
        QCOMPARE(accessibleText(tiles->cpuTile(), QAccessible::Description), u"37%");
        QCOMPARE(accessibleText(tiles->memoryTile(), QAccessible::Description), u"64% 10.3 GB / 16.0 GB");
        QAccessibleInterface *row = QAccessible::queryAccessibleInterface(appList())->tableInterface()->cellAt(0, 0);
        QVERIFY(row->text(QAccessible::Name).contains(u"Web Browser Developer Edition With A Very Long Name"));
        QCOMPARE(row->text(QAccessible::Description), u"26% CPU, 5.5 GB memory");

        // Arrows move through the list; Return opens the row's menu.
        tabIntoTheList();
        QCOMPARE(appList()->currentIndex().row(), 0);
        QVERIFY(appList()->isKeyboardCurrent(appList()->currentIndex()));
        for (Qt::Key key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Up})
            QTest::keyClick(appList(), key);
        QCOMPARE(appList()->currentIndex().row(), 1);

        // The menu's first command shows the application's processes.
        // QMenu::exec blocks the caller: the command is chosen once the menu is open.
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&poll] {
            if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
                poll.stop();
                QTest::keyClick(menu, Qt::Key_Down);
                QTest::keyClick(menu, Qt::Key_Return);
            }
        });
        poll.start(10);
        QTest::keyClick(appList(), Qt::Key_Return);
        QTRY_VERIFY(showsProcesses(*view));
        QCOMPARE(part<ProcessListView>(*view, "processList")->appID(),
                 appList()->currentIndex().data(AppListModel::AppIDRole).toString());
        // Focus moves on to Back, which Space presses; Escape then closes the popover.
        QTRY_COMPARE(focus(), backButton());
        QTest::keyClick(focus(), Qt::Key_Space);
        QVERIFY(!showsProcesses(*view));
        QCOMPARE(focus(), appList());
        QTest::keyClick(appList(), Qt::Key_Escape);
        QTRY_VERIFY(!window->isVisible());

        // Each opening starts as the first did: the search field focused, and
        // Tab into the list makes the first row current, not the one left current.
        window->openAt(ItemAnchor{QPoint(640, 10), {}});
        QTRY_COMPARE(focus(), filterField());
        tabIntoTheList();
        QCOMPARE(appList()->currentIndex().row(), 0);
        QVERIFY(appList()->isKeyboardCurrent(appList()->currentIndex()));
    }

    // "Show all … processes" hands focus to Back wherever focus was, here the
    // search field, as when the row's menu was opened with the mouse.
    void showProcessesFocusesBackFromAnywhere()
    {
        const QString id = appList()->model()->index(1, 0).data(AppListModel::AppIDRole).toString();
        chooseFromRowMenu(*view, id, RowCommand::showProcesses);
        QTRY_VERIFY(showsProcesses(*view));
        QCOMPARE(part<ProcessListView>(*view, "processList")->appID(), id);
        QTRY_COMPARE(focus(), backButton());
    }
};

QTEST_MAIN(TestKeyboardAccess)
#include "tst_keyboardaccess.moc"
