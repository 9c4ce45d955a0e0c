// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "PopoverFixture.h"

#include "views/AppRowDelegate.h"
#include "views/FilterBar.h"
#include "views/OverlayScrollBar.h"
#include "views/PopoverView.h"
#include "views/ProcessListView.h"
#include "views/ResizeHandle.h"
#include "views/ScrollingArea.h"

#include <QLineEdit>
#include <QListView>
#include <QTest>

using namespace pelmora;

namespace {

// Counts the geometry changes (resizes, widgets shown or hidden) under `root`.
struct GeometryChanges : QObject {
    QWidget *root;
    int count = 0;
    explicit GeometryChanges(QWidget *root) : root(root) { qApp->installEventFilter(this); }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const QEvent::Type type = event->type();
        if ((type == QEvent::Resize || type == QEvent::Show || type == QEvent::Hide) && watched->isWidgetType()
            && root->isAncestorOf(static_cast<QWidget *>(watched)))
            ++count;
        return false;
    }
};

// Applications like those of a desktop: one name too long for its row, a few
// with several processes, one busy.
const QStringList appNames{"CPU Burner",   "Extraordinarily Long Application Name For Narrow Popovers",
                           "Openbox",      "Panel",
                           "Mousepad",     "Galculator",
                           "XTerm",        "Files",
                           "Mail",         "Terminal",
                           "Music Player", "Code Editor"};

} // namespace

// The popover at every height it can have, 360 to 760, with every list length
// around the point where its rows stop fitting: the layout settles (a loop
// there hangs the program for good, as the height is stored), nothing outside
// the list is squeezed, and the list scrolls exactly as far as its rows and
// the padding after them. Painting plays no part in layout and is left out,
// which keeps some 17,600 layouts to seconds. A layout that never returns is
// ended by Qt Test's watchdog, which names the row (the suite's timeout is
// set in tests/CMakeLists.txt).
class TestPopoverHeights : public QObject {
    Q_OBJECT

    // Lets posted events and timers run until a turn of the event loop
    // changes no geometry under `view`.
    static bool settles(GeometryChanges &changes)
    {
        for (int turn = 0; turn < 20; ++turn) {
            QCoreApplication::processEvents();
            if (std::exchange(changes.count, 0) == 0)
                return true;
        }
        return false;
    }

    // Nothing outside the scrolling area is smaller than it needs or reaches
    // past its parent, and the scrolling area keeps some room.
    static QString squeezed(PopoverView &view, QWidget *scrollingArea)
    {
        for (QWidget *widget : view.findChildren<QWidget *>()) {
            if (!widget->isVisibleTo(&view) || widget == scrollingArea || scrollingArea->isAncestorOf(widget))
                continue;
            const QSize minimum = widget->minimumSizeHint();
            if (minimum.isValid() && widget->height() < minimum.height())
                return QStringLiteral("%1 is %2 high, needs %3")
                    .arg(widget->metaObject()->className())
                    .arg(widget->height())
                    .arg(minimum.height());
            if (!widget->parentWidget()->rect().contains(widget->geometry()))
                return QStringLiteral("%1 reaches past its parent").arg(widget->metaObject()->className());
        }
        return {};
    }

    // The scrolling content, scrolled to its end: the bar shows exactly when
    // the rows and the padding after them are taller than the area, and then
    // the padding ends at the area's bottom edge.
    static QString scrollsToItsEnd(QAbstractScrollArea *area, const QRect &lastCard, int padding)
    {
        QScrollBar *bar = area->verticalScrollBar();
        const bool overflows = lastCard.bottom() + 1 + bar->value() + padding > area->viewport()->height();
        const QScrollBar *shown = area->findChild<OverlayScrollBar *>();
        if (shown->isVisible() != overflows)
            return QStringLiteral("scroll bar %1 although the content %2")
                .arg(shown->isVisible() ? "shown" : "hidden", overflows ? "overflows" : "fits");
        if (!overflows)
            return {};
        if (bar->value() != bar->maximum())
            return QStringLiteral("not scrolled to the end");
        const int gap = area->viewport()->height() - (lastCard.bottom() + 1);
        return gap == padding ? QString()
                              : QStringLiteral("%1 below the last row at the end, not %2").arg(gap).arg(padding);
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    // The application list with 0 to 12 applications, and one application's
    // process list with 0 to 30 processes.
    void everyHeight_data()
    {
        QTest::addColumn<bool>("processList");
        QTest::addColumn<int>("rows");
        for (int apps = 0; apps <= 12; ++apps)
            QTest::addRow("%d applications", apps) << false << apps;
        for (int processes = 0; processes <= 30; ++processes)
            QTest::addRow("%d processes", processes) << true << processes;
    }
    void everyHeight()
    {
        QFETCH(bool, processList);
        QFETCH(int, rows);
        FixtureMachine machine;
        if (processList) {
            QList<FixtureMachine::Process> list{{QStringLiteral("browser"), 3.0, 200 << 20}};
            for (int i = 1; i < rows; ++i)
                list.append({QStringLiteral("renderer-process-with-a-long-name-%1").arg(i), 0.5, 50 << 20});
            machine.addApp(QStringLiteral("Web Browser Developer Edition With A Very Long Name"), list);
        }
        for (int i = 0; !processList && i < rows; ++i) {
            QList<FixtureMachine::Process> processes{
                {appNames.at(i).toLower(), i == 0 ? 85.0 : 0.1 * i, quint64(i + 2) << 20}};
            for (int extra = 0; extra < i % 3; ++extra)
                processes.append({QStringLiteral("helper-%1").arg(extra), 0.0, 1 << 20});
            machine.addApp(appNames.at(i), processes);
        }
        // It opens at the smallest stored height and draws nothing; every
        // height is stored, so the settings live in memory.
        MetricsStore store(machine.storeOptions());
        const FixtureTree settings(FixtureTree::Place::memory);
        const SettingsLocation where{settings.filePath("pelmora.conf")};
        PopoverHeightSetting(where).write(360);
        PopoverView view(store, where);
        view.show();
        view.setUpdatesEnabled(false);
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        PaddedListView *apps = part<MetricsSectionView>(view, "applications")->listView();
        QCOMPARE(apps->model()->rowCount(), processList ? 1 : rows);
        auto *content = part<ProcessListView>(view, "processList");
        auto *scroller = part<ContentScroller>(view, "processScroller");
        if (processList) {
            chooseFromRowMenu(view, store.snapshot().allApps.at(0).id, RowCommand::showProcesses);
            QTRY_VERIFY(showsProcesses(view));
            if (rows == 0) // a search that none of them matches
                QTest::keyClicks(part<FilterBar>(view, "filterBar")->field(), QStringLiteral("no such process"));
        }
        const auto appListFault = [&] {
            if (rows == 0)
                return apps->isVisibleTo(&view) ? QStringLiteral("a list without rows") : QString();
            apps->verticalScrollBar()->setValue(apps->verticalScrollBar()->maximum());
            return scrollsToItsEnd(apps, apps->cardRect(apps->model()->index(rows - 1, 0)),
                                   AppRowDelegate::bottomPadding);
        };
        const auto processListFault = [&]() -> QString {
            QScrollBar *bar = scroller->verticalScrollBar();
            bar->setValue(bar->maximum());
            QListView *list = content->listView();
            if (list->model()->rowCount() != rows)
                return QStringLiteral("%1 rows").arg(list->model()->rowCount());
            // The header card scrolls with the rows.
            if (content->header()->mapTo(scroller->viewport(), QPoint()).y() != -bar->value())
                return QStringLiteral("the header is not at the top of the content");
            if (rows == 0)
                return content->isShowingEmptyText() && !scroller->scrollBar()->isVisible()
                    ? QString()
                    : QStringLiteral("no empty text, or something to scroll");
            const QRect item = list->visualRect(list->model()->index(rows - 1, 0));
            const QRect card = ProcessListView::cardRect(item).translated(
                list->viewport()->mapTo(scroller->viewport(), QPoint()));
            return scrollsToItsEnd(scroller, card, ProcessListView::bottomPadding);
        };

        GeometryChanges changes(&view);
        QWidget *scrollingArea = part<QWidget>(view, "applications")->parentWidget();
        auto *strip = part<ResizeHandle>(view, "resizeHandle");
        for (int height = 360; height <= 760; ++height) {
            const QByteArray label = "the popover at " + QByteArray::number(height) + " with "
                + QTest::currentDataTag();
            // A press on the strip and a release one pixel away stores the height.
            emit strip->dragChanged(0.0);
            emit strip->dragChanged(height - view.height());
            emit strip->dragEnded();
            QVERIFY2(settles(changes), label + " does not settle");
            QVERIFY2(view.height() == height && PopoverHeightSetting(where).read() == height, label);
            const QString fault = squeezed(view, scrollingArea) + (processList ? processListFault() : appListFault());
            QVERIFY2(fault.isEmpty(), label + ": " + fault.toUtf8());
        }
    }
};

QTEST_MAIN(TestPopoverHeights)
#include "tst_popoverheights.moc"
