// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "PopoverFixture.h"

#include "views/AppRowDelegate.h"
#include "views/FilterBar.h"
#include "views/MetricsSectionView.h"
#include "views/OverlayScrollBar.h"
#include "views/PaddedListView.h"
#include "views/PopoverView.h"
#include "views/ProcessListView.h"
#include "views/ResizeHandle.h"
#include "views/ScrollingArea.h"

#include <QLineEdit>
#include <QListView>
#include <QTest>

#include <memory>

using namespace pelmora;

namespace {

// Counts the geometry changes (resizes, widgets shown or hidden) under one widget.
class GeometryChanges : public QObject {
public:
    explicit GeometryChanges(QWidget *root) : m_root(root) { qApp->installEventFilter(this); }
    int take() { return std::exchange(m_count, 0); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const QEvent::Type type = event->type();
        if ((type == QEvent::Resize || type == QEvent::Show || type == QEvent::Hide) && watched->isWidgetType()
            && m_root->isAncestorOf(static_cast<QWidget *>(watched)))
            ++m_count;
        return false;
    }

private:
    QWidget *m_root;
    int m_count = 0;
};

// Applications like those of a desktop: one name too long for its row, a few
// with several processes, one busy.
const QStringList appNames{"CPU Burner",   "Extraordinarily Long Application Name For Narrow Popovers",
                           "Openbox",      "Panel",
                           "Mousepad",     "Galculator",
                           "XTerm",        "Files",
                           "Mail",         "Terminal",
                           "Music Player", "Code Editor"};

QRect inside(const QWidget *widget, const QWidget *ancestor)
{
    return QRect(widget->mapTo(ancestor, QPoint(0, 0)), widget->size());
}

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
            if (changes.take() == 0)
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

    // The popover over `machine` as it opens at the smallest stored height,
    // drawing nothing; every height is stored, so the settings live in memory.
    struct Opened {
        MetricsStore store;
        FixtureTree settings{FixtureTree::Place::memory};
        SettingsLocation where{settings.filePath("pelmora.conf")};
        std::unique_ptr<PopoverView> view;
        explicit Opened(const FixtureMachine &machine) : store(machine.storeOptions())
        {
            PopoverHeightSetting(where).write(360);
            view = std::make_unique<PopoverView>(store, where);
            view->show();
            view->setUpdatesEnabled(false);
        }
    };

    void sweep(PopoverView &view, const SettingsLocation &where, const QByteArray &what,
               const std::function<QString()> &checkList)
    {
        GeometryChanges changes(&view);
        QWidget *scrollingArea = part<QWidget>(view, "applications")->parentWidget();
        auto *strip = part<ResizeHandle>(view, "resizeHandle");
        for (int height = 360; height <= 760; ++height) {
            const QByteArray label = "the popover at " + QByteArray::number(height) + " with " + what;
            // A press on the strip and a release one pixel away stores the height.
            emit strip->dragChanged(0.0);
            emit strip->dragChanged(height - view.height());
            emit strip->dragEnded();
            QVERIFY2(settles(changes), label + " does not settle");
            QVERIFY2(view.height() == height && PopoverHeightSetting(where).read() == height, label);
            const QString fault = squeezed(view, scrollingArea) + checkList();
            QVERIFY2(fault.isEmpty(), label + ": " + fault.toUtf8());
        }
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void applicationList_data()
    {
        QTest::addColumn<int>("apps");
        for (int apps = 0; apps <= 12; ++apps)
            QTest::addRow("%d apps", apps) << apps;
    }
    void applicationList()
    {
        QFETCH(int, apps);
        FixtureMachine machine;
        for (int i = 0; i < apps; ++i) {
            QList<FixtureMachine::Process> processes{
                {appNames.at(i).toLower(), i == 0 ? 85.0 : 0.1 * i, quint64(i + 2) << 20}};
            for (int extra = 0; extra < i % 3; ++extra)
                processes.append({QStringLiteral("helper-%1").arg(extra), 0.0, 1 << 20});
            machine.addApp(appNames.at(i), processes);
        }
        Opened opened(machine);
        PopoverView &view = *opened.view;
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        PaddedListView *list = part<MetricsSectionView>(view, "applications")->listView();
        QCOMPARE(list->model()->rowCount(), apps);
        sweep(view, opened.where, QByteArray::number(apps) + " applications", [&] {
            if (apps == 0)
                return list->isVisibleTo(&view) ? QStringLiteral("a list without rows") : QString();
            list->verticalScrollBar()->setValue(list->verticalScrollBar()->maximum());
            return scrollsToItsEnd(list, list->cardRect(list->model()->index(apps - 1, 0)),
                                   AppRowDelegate::bottomPadding);
        });
    }

    void processList_data()
    {
        QTest::addColumn<int>("processes");
        for (int processes = 0; processes <= 30; ++processes)
            QTest::addRow("%d processes", processes) << processes;
    }
    void processList()
    {
        QFETCH(int, processes);
        FixtureMachine machine;
        QList<FixtureMachine::Process> list{{QStringLiteral("browser"), 3.0, 200 << 20}};
        for (int i = 1; i < processes; ++i)
            list.append({QStringLiteral("renderer-process-with-a-long-name-%1").arg(i), 0.5, 50 << 20});
        machine.addApp(QStringLiteral("Web Browser Developer Edition With A Very Long Name"), list);
        Opened opened(machine);
        PopoverView &view = *opened.view;
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        chooseFromRowMenu(view, opened.store.snapshot().allApps.at(0).id, RowCommand::showProcesses);
        QTRY_VERIFY(showsProcesses(view));
        if (processes == 0) // a search that none of them matches
            QTest::keyClicks(part<FilterBar>(view, "filterBar")->field(), QStringLiteral("no such process"));
        auto *content = part<ProcessListView>(view, "processList");
        auto *scroller = part<ContentScroller>(view, "processScroller");
        sweep(view, opened.where, QByteArray::number(processes) + " processes", [&]() -> QString {
            QScrollBar *bar = scroller->verticalScrollBar();
            bar->setValue(bar->maximum());
            QListView *rows = content->listView();
            if (rows->model()->rowCount() != processes)
                return QStringLiteral("%1 rows").arg(rows->model()->rowCount());
            // The header card scrolls with the rows.
            const QRect header = inside(content->header(), scroller->viewport());
            if (header.top() != -bar->value())
                return QStringLiteral("the header is not at the top of the content");
            if (processes == 0)
                return content->isShowingEmptyText() && !scroller->scrollBar()->isVisible()
                    ? QString()
                    : QStringLiteral("no empty text, or something to scroll");
            const QRect item = rows->visualRect(rows->model()->index(processes - 1, 0));
            const QRect card = ProcessListView::cardRect(item).translated(
                rows->viewport()->mapTo(scroller->viewport(), QPoint()));
            return scrollsToItsEnd(scroller, card, ProcessListView::bottomPadding);
        });
    }
};

QTEST_MAIN(TestPopoverHeights)
#include "tst_popoverheights.moc"
