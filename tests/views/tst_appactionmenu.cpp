#include "ViewTestData.h"

#include "views/AppActionMenuPresenter.h"
#include "views/AppListModel.h"
#include "views/MetricsSectionView.h"
#include "views/PaddedListView.h"

#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>

using namespace pelmora;

namespace {

// What the menu looked like when it was shown.
struct ShownMenu {
    QStringList titles; // "" for the separator
    QList<bool> enabled;
    QList<bool> hasIcon;
    QPoint position;
};

} // namespace

class TestAppActionMenu : public QObject {
    Q_OBJECT

    // The host's side: every callback is recorded, in order.
    QStringList calls;
    QList<ShownMenu> menus;
    std::function<QAction *(QMenu &)> choose; // which item the "user" picks
    std::unique_ptr<MetricsSectionView> section;

    AppListActions actions()
    {
        AppListActions a;
        a.setMetric = [this](AppMetricKind) { calls << "setMetric"; };
        a.quitApp = [this](const AppMetric &app) {
            calls << "quit " + app.id + (section->showsActions(app.id) ? " (flag still set)" : "");
        };
        a.showProcesses = [this](const AppMetric &app) {
            calls << "show " + app.id + (section->showsActions(app.id) ? " (flag still set)" : "");
        };
        a.setUpdatesPaused = [this](bool paused) { calls << (paused ? "pause" : "resume"); };
        return a;
    }

    void setApps(const QList<AppMetric> &apps) { section->setContent(AppMetricKind::cpu, apps, actions()); }

    QAction *item(QMenu &menu, int i) { return menu.actions().at(i); }

private slots:
    void init()
    {
        calls.clear();
        menus.clear();
        choose = [](QMenu &) { return nullptr; };
        section = std::make_unique<MetricsSectionView>();
        section->resize(440, 300);
        section->menuPresenter().setMenuRunner([this](QMenu &menu, QPoint pos) {
            ShownMenu shown;
            for (QAction *a : menu.actions()) {
                shown.titles << (a->isSeparator() ? QString() : a->text());
                shown.enabled << a->isEnabled();
                shown.hasIcon << !a->icon().isNull();
            }
            shown.position = pos;
            menus << shown;
            calls << "menu";
            return choose(menu);
        });
        setApps({testApp("Web Browser", 30, 100, 3), testApp("Editor", 10, 100, 1), testApp("Idle", 0, 100, 0)});
        section->show();
        QVERIFY(QTest::qWaitForWindowExposed(section.get()));
    }

    void cleanup() { section.reset(); }

    void clickOpensOneMenuBetweenPauseAndResume()
    {
        const QRect card = section->cardRect("web browser");
        QVERIFY(!card.isEmpty());
        QTest::mouseClick(section->listView()->viewport(), Qt::LeftButton, {},
                          section->listView()->viewport()->mapFrom(section.get(), card.center()));
        QVERIFY(section->showsActions("web browser"));
        QCOMPARE(calls, QStringList{"pause"}); // not shown from inside the click
        QTRY_COMPARE(calls, (QStringList{"pause", "menu", "resume"}));
        QVERIFY(!section->showsActions("web browser"));

        const ShownMenu &menu = menus.at(0);
        QCOMPARE(menu.titles, (QStringList{"Show all Web Browser processes", "", "Quit Web Browser"}));
        QCOMPARE(menu.enabled.at(0), true);
        QCOMPARE(menu.hasIcon.at(0), true);
        QCOMPARE(menu.hasIcon.at(2), true);
        // Top-left on the row's bottom edge, 8 in from its left edge.
        QCOMPARE(menu.position, section->mapToGlobal(QPoint(card.left() + 8, card.top() + card.height())));
    }

    void repeatedRequestsShowOneMenu()
    {
        section->requestActions("editor");
        section->requestActions("editor");
        // A refresh before the menu opens updates the row again.
        setApps({testApp("Editor", 12, 100, 1), testApp("Web Browser", 30, 100, 3)});
        QTRY_COMPARE(calls, (QStringList{"pause", "menu", "resume"}));
        QTest::qWait(20);
        QCOMPARE(menus.size(), 1);
    }

    void withdrawnRequestShowsNothing()
    {
        section->requestActions("editor");
        section->setShowsActions("editor", false);
        QTest::qWait(20);
        QCOMPARE(calls, (QStringList{"pause", "resume"}));
        QVERIFY(menus.isEmpty());
    }

    void requestForAnApplicationThatLeftTheListIsWithdrawn()
    {
        section->requestActions("editor");
        setApps({testApp("Web Browser", 30, 100, 3)});
        QTest::qWait(20);
        QCOMPARE(calls, (QStringList{"pause", "resume"}));
        QVERIFY(menus.isEmpty());
    }

    void commandRunsAfterTheFlagIsReset_data()
    {
        QTest::addColumn<int>("itemIndex");
        QTest::addColumn<QString>("command");
        QTest::newRow("show processes") << 0 << "show web browser";
        QTest::newRow("quit") << 2 << "quit web browser";
    }
    void commandRunsAfterTheFlagIsReset()
    {
        QFETCH(int, itemIndex);
        QFETCH(QString, command);
        choose = [this, itemIndex](QMenu &menu) { return item(menu, itemIndex); };
        section->requestActions("web browser");
        QTRY_COMPARE(calls, (QStringList{"pause", "menu", "resume", command}));
    }

    void firstItemNeedsAProcess()
    {
        section->requestActions("idle");
        QTRY_COMPARE(menus.size(), 1);
        QCOMPARE(menus.at(0).enabled.at(0), false);
        QCOMPARE(menus.at(0).enabled.at(2), true);
        // Choosing the disabled item does nothing but close the menu.
        choose = [this](QMenu &menu) { return item(menu, 0); };
        section->requestActions("idle");
        QTRY_COMPARE(menus.size(), 2);
        QCOMPARE(calls, (QStringList{"pause", "menu", "resume", "pause", "menu", "resume"}));

        section->requestActions("editor");
        QTRY_COMPARE(menus.size(), 3);
        QCOMPARE(menus.at(2).enabled.at(0), true);
    }

    void titlesAreShownAsWritten()
    {
        setApps({testApp("AT&T Mail", 1, 100, 2), testApp("", 1, 100, 1)});
        section->requestActions("at&t mail");
        QTRY_COMPARE(menus.size(), 1);
        // '&&' is how a menu shows a literal '&'.
        QCOMPARE(menus.at(0).titles.at(2), QStringLiteral("Quit AT&&T Mail"));
        section->requestActions("");
        QTRY_COMPARE(menus.size(), 2);
        QCOMPARE(menus.at(1).titles, (QStringList{"Show all  processes", "", "Quit "}));
    }

    // The row's state belongs to the application: a refresh that moves the
    // row and changes its figures while the menu is open keeps it wanted and
    // highlighted; hover likewise survives a refresh.
    void rowStateSurvivesARefresh()
    {
        QWidget *viewport = section->listView()->viewport();
        QTest::mouseMove(viewport, viewport->mapFrom(section.get(), section->cardRect("editor").center()));
        QTRY_VERIFY(section->isHovering("editor"));

        bool stateDuringMenu = false;
        choose = [&](QMenu &) {
            setApps({testApp("Web Browser", 31, 100, 3), testApp("Idle", 0, 100, 0), testApp("Editor", 44, 900, 1)});
            stateDuringMenu = section->showsActions("web browser") && section->isHighlighted("web browser") &&
                              section->model().rowOf("web browser") == 0;
            return nullptr;
        };
        section->requestActions("web browser");
        QTRY_COMPARE(menus.size(), 1);
        QVERIFY(stateDuringMenu);
        QCOMPARE(calls, (QStringList{"pause", "menu", "resume"}));

        QVERIFY(section->isHovering("editor"));
        const int row = section->model().rowOf("editor");
        QCOMPARE(row, 2);
        QCOMPARE(section->model().itemAt(row).cpuPercent, 44.0);
        QVERIFY(!section->isHovering("idle"));
    }

    void menuWaitsWhileTheRowIsOffScreen()
    {
        section->hide();
        section->requestActions("editor");
        QTest::qWait(20);
        QVERIFY(menus.isEmpty());
        QVERIFY(section->showsActions("editor")); // still wanted, refreshing still paused
        QCOMPARE(calls, QStringList{"pause"});
        section->show();
        setApps({testApp("Editor", 10, 100, 1)}); // the next rebuild asks again
        QTRY_COMPARE(calls, (QStringList{"pause", "menu", "resume"}));
    }

    // The real pop-up: QMenu::exec runs its own loop; Escape closes it.
    void realMenuClosesOnEscape()
    {
        section->menuPresenter().setMenuRunner([this](QMenu &menu, QPoint pos) {
            calls << "menu";
            QTimer::singleShot(0, &menu, [&menu] { QTest::keyClick(&menu, Qt::Key_Escape); });
            return menu.exec(pos);
        });
        section->requestActions("editor");
        QTRY_COMPARE(calls, (QStringList{"pause", "menu", "resume"}));
        QVERIFY(!QApplication::activePopupWidget());
    }
};

QTEST_MAIN(TestAppActionMenu)
#include "tst_appactionmenu.moc"
