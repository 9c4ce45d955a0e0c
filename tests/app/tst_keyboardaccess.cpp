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
#include "views/ResizeHandle.h"
#include "views/SummaryMetricView.h"
#include "views/SymbolButton.h"

#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTimer>

using namespace pelmora;

namespace {

QString accessibleText(QObject *object, QAccessible::Text kind = QAccessible::Name)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(object);
    return iface ? iface->text(kind) : QStringLiteral("<no interface>");
}

QAccessibleInterface *rowInterface(PaddedListView *list, int row)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(list);
    if (!iface || !iface->tableInterface())
        return nullptr;
    return iface->tableInterface()->cellAt(row, 0);
}

QString appNameAt(const PaddedListView *list, int row)
{
    return list->model()->index(row, 0).data(Qt::DisplayRole).toString();
}

// Runs `step` against the menu once it is open; QMenu::exec blocks until then.
void whenMenuOpens(std::function<void(QMenu *)> step)
{
    auto *poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, step = std::move(step)] {
        if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
            poll->deleteLater();
            step(menu);
        }
    });
    poll->start();
}

} // namespace

// The popover as a keyboard and screen-reader user meets it: in its panel
// window, with the real action menu.
class TestKeyboardAccess : public QObject {
    Q_OBJECT

    std::unique_ptr<PopoverFixture> fixture;
    PopoverWindow *window = nullptr;
    PopoverView *view = nullptr;

    PaddedListView *appList() const { return view->section()->listView(); }

private slots:
    void init()
    {
        fixture = std::make_unique<PopoverFixture>();
        window = new PopoverWindow(PopoverWindow::Style::panel);
        view = new PopoverView(*fixture->store, fixture->settings());
        window->setContent(view);
        window->openAt(QPoint(640, 10));
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QTRY_COMPARE(QApplication::focusWidget(), view->filterBar()->field());
    }

    void cleanup()
    {
        delete window;
        fixture.reset();
    }

    void controlsHaveNames()
    {
        QCOMPARE(accessibleText(view->header()->closeButton()), u"Close");
        QCOMPARE(accessibleText(view->filterBar()->field()), u"Filter");
        QCOMPARE(accessibleText(view->filterBar()->clearButton()), u"Clear filter");
        QCOMPARE(accessibleText(view->columnHeader()->hitArea(AppMetricKind::app)), u"Sort by app");
        QCOMPARE(accessibleText(view->columnHeader()->hitArea(AppMetricKind::cpu)), u"Sort by CPU");
        QCOMPARE(accessibleText(view->columnHeader()->hitArea(AppMetricKind::memory)), u"Sort by memory");
        QCOMPARE(accessibleText(appList()), u"Applications");
        QCOMPARE(accessibleText(view->refreshButton()), u"Refresh");
        QCOMPARE(accessibleText(view->quitButton()), u"Quit");
        QCOMPARE(accessibleText(view->processList()->header()->backButton()), u"Back");
        QCOMPARE(accessibleText(view->processList()->listView()), u"Processes");
        QCOMPARE(accessibleText(view->resizeHandle()), u"Resize");

        // Painted figures reach screen readers through the tiles and rows.
        QCOMPARE(accessibleText(view->header()->cpuTile()), u"CPU");
        QCOMPARE(accessibleText(view->header()->cpuTile(), QAccessible::Description),
                 view->header()->cpuTile()->value());
        QCOMPARE(accessibleText(view->header()->memoryTile()), u"Memory");
        QVERIFY(accessibleText(view->header()->memoryTile(), QAccessible::Description).contains(u" / "));
        QAccessibleInterface *row = rowInterface(appList(), 0);
        QVERIFY(row);
        QCOMPARE(row->text(QAccessible::Name), QStringLiteral("Show actions for ") + appNameAt(appList(), 0));
        QVERIFY(row->text(QAccessible::Description).contains(u" CPU, "));

        // Whatever takes focus has a name, including controls added later.
        for (QWidget *widget : view->findChildren<QWidget *>()) {
            if (widget->focusPolicy() & Qt::TabFocus)
                QVERIFY2(!accessibleText(widget).isEmpty(), widget->metaObject()->className());
        }
    }

    void activeSortColumnIsChecked()
    {
        const auto checked = [this](AppMetricKind kind) {
            QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(view->columnHeader()->hitArea(kind));
            return iface->state().checked;
        };
        QVERIFY(checked(AppMetricKind::cpu));
        QVERIFY(!checked(AppMetricKind::memory));
        view->columnHeader()->hitArea(AppMetricKind::memory)->click();
        QVERIFY(checked(AppMetricKind::memory));
        QVERIFY(!checked(AppMetricKind::cpu));
        // Clicking the active column again keeps it checked.
        view->columnHeader()->hitArea(AppMetricKind::memory)->click();
        QVERIFY(checked(AppMetricKind::memory));
    }

    void tabFollowsTheReadingOrder()
    {
        // Hidden controls (the clear and back buttons) are skipped.
        QStringList visited;
        for (int i = 0; i < 8; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << accessibleText(QApplication::focusWidget());
        }
        QCOMPARE(visited, QStringList({u"Sort by app"_qs, u"Sort by CPU"_qs, u"Sort by memory"_qs,
                                       u"Applications"_qs, u"Refresh"_qs, u"Quit"_qs, u"Close"_qs, u"Filter"_qs}));
    }

    void tabReachesTheListAndArrowsMoveThroughIt()
    {
        for (int i = 0; i < 8 && QApplication::focusWidget() != appList(); ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), appList());
        QCOMPARE(appList()->currentIndex().row(), 0);
        QVERIFY(appList()->isKeyboardCurrent(appList()->currentIndex()));

        QTest::keyClick(appList(), Qt::Key_Down);
        QTest::keyClick(appList(), Qt::Key_Down);
        QCOMPARE(appList()->currentIndex().row(), 2);
        QTest::keyClick(appList(), Qt::Key_Up);
        QCOMPARE(appList()->currentIndex().row(), 1);

        // Tab leaves the list for the footer; Shift+Tab comes back to the same row.
        QTest::keyClick(appList(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), view->refreshButton());
        QTest::keyClick(view->refreshButton(), Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), appList());
        QCOMPARE(appList()->currentIndex().row(), 1);
    }

    void returnOpensTheMenuAndEscapeClosesMenuThenPopover()
    {
        appList()->setFocus(Qt::TabFocusReason);
        QTest::keyClick(appList(), Qt::Key_Down);
        const QString name = appNameAt(appList(), 1);

        QStringList titles;
        bool pausedWhileOpen = false;
        whenMenuOpens([&](QMenu *menu) {
            for (QAction *action : menu->actions()) {
                if (!action->isSeparator())
                    titles << action->text();
            }
            pausedWhileOpen = fixture->store->isRefreshPaused();
            QTest::keyClick(menu, Qt::Key_Escape);
        });
        QTest::keyClick(appList(), Qt::Key_Return);
        QTRY_VERIFY(!titles.isEmpty());
        QTRY_VERIFY(!QApplication::activePopupWidget() || QApplication::activePopupWidget() == window);
        QCOMPARE(titles, QStringList({QStringLiteral("Show all ") + name + QStringLiteral(" processes"), QStringLiteral("Quit ") + name}));
        QVERIFY(pausedWhileOpen);
        QVERIFY(!fixture->store->isRefreshPaused());

        // The menu is gone; the popover and the list's focus stay.
        QVERIFY(window->isVisible());
        QTRY_COMPARE(QApplication::focusWidget(), appList());
        QTest::keyClick(appList(), Qt::Key_Escape);
        QTRY_VERIFY(!window->isVisible());
    }

    void menuCommandsRunFromTheKeyboard()
    {
        appList()->setFocus(Qt::TabFocusReason);
        const QString id = appList()->model()->index(0, 0).data(AppListModel::AppIDRole).toString();
        whenMenuOpens([](QMenu *menu) {
            QTest::keyClick(menu, Qt::Key_Down); // the first command, "Show all … processes"
            QTest::keyClick(menu, Qt::Key_Return);
        });
        QTest::keyClick(appList(), Qt::Key_Enter);
        QTRY_VERIFY(view->isProcessListShown());
        QCOMPARE(view->listState().focusedAppID, std::optional<QString>(id));

        // Focus moves on with the page: to Back, which Space presses.
        SymbolButton *back = view->processList()->header()->backButton();
        QTRY_COMPARE(QApplication::focusWidget(), back);
        QTest::keyClick(back, Qt::Key_Space);
        QVERIFY(!view->isProcessListShown());
        QCOMPARE(QApplication::focusWidget(), appList());
    }
};

QTEST_MAIN(TestKeyboardAccess)
#include "tst_keyboardaccess.moc"
