#include "PopoverFixture.h"

#include "views/AppListModel.h"
#include "views/AppMetricRow.h"
#include "views/FilterBar.h"
#include "views/MetricColumnHeaderView.h"
#include "views/MetricsSectionView.h"
#include "views/PaddedListView.h"
#include "views/PopoverHeader.h"
#include "views/PopoverView.h"
#include "views/ProcessListModel.h"
#include "views/ProcessListView.h"
#include "views/ProcessRow.h"
#include "views/ResizeHandle.h"
#include "views/SummaryMetricView.h"
#include "views/SymbolButton.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

using namespace pelmora;

namespace {

QRect geometryIn(const QWidget *widget, const QWidget *ancestor)
{
    return QRect(widget->mapTo(ancestor, QPoint(0, 0)), widget->size());
}

QStringList listedIDs(const PopoverView &view)
{
    QStringList ids;
    for (const AppMetric &app : view.section()->model().items())
        ids << app.id;
    return ids;
}

const AppMetric &appNamed(const MetricsStore &store, const QString &name)
{
    for (const AppMetric &app : store.snapshot().allApps) {
        if (app.name == name)
            return app;
    }
    qFatal("no fixture application %s", qPrintable(name));
}

} // namespace

class TestPopoverView : public QObject {
    Q_OBJECT

    std::unique_ptr<PopoverFixture> fixture;
    std::unique_ptr<PopoverView> view;

    void makeView()
    {
        view = std::make_unique<PopoverView>(*fixture->store, fixture->settings());
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    }

private slots:
    void init()
    {
        fixture = std::make_unique<PopoverFixture>();
        QCOMPARE(fixture->store->snapshot().allApps.size(), 6);
        makeView();
    }

    void cleanup()
    {
        view.reset();
        fixture.reset();
    }

    void geometryOfTheMainPieces()
    {
        QCOMPARE(view->width(), 440);
        QCOMPARE(view->height(), 520); // nothing stored yet

        const QRect cpu = geometryIn(view->header()->cpuTile(), view.get());
        const QRect memory = geometryIn(view->header()->memoryTile(), view.get());
        QCOMPARE(cpu.left(), 18);
        QCOMPARE(cpu.width(), 142);
        QCOMPARE(memory.left(), cpu.right() + 1 + 14);
        QCOMPARE(memory.right() + 1, 440 - 18);

        MetricColumnHeaderView *header = view->columnHeader();
        const QRect headerRect = geometryIn(header, view.get());
        QCOMPARE(headerRect.left(), 18);
        QCOMPARE(headerRect.width(), 440 - 36);
        QVERIFY(headerRect.height() >= 40);
        QCOMPARE(header->labelFrame(AppMetricKind::app).width(), 90.0);
        QCOMPARE(header->labelFrame(AppMetricKind::cpu).width(), 58.0);
        QCOMPARE(header->labelFrame(AppMetricKind::memory).width(), 82.0);
        QCOMPARE(header->labelFrame(AppMetricKind::memory).right(), header->width() - 10.0 - 8.0);

        const QRect appArea = header->hitArea(AppMetricKind::app)->geometry();
        const QRect cpuArea = header->hitArea(AppMetricKind::cpu)->geometry();
        const QRect memoryArea = header->hitArea(AppMetricKind::memory)->geometry();
        QCOMPARE(cpuArea.width(), 96);
        QCOMPARE(memoryArea.width(), 112);
        QCOMPARE(appArea.left(), 10);
        QCOMPARE(appArea.right() + 1, cpuArea.left());
        QCOMPARE(cpuArea.right() + 1, memoryArea.left());
        QCOMPARE(memoryArea.right() + 1, header->width() - 10);
        for (const QRect &area : {appArea, cpuArea, memoryArea})
            QCOMPARE(area.height(), header->height());
        QCOMPARE(header->hitArea(AppMetricKind::app)->toolTip(), QStringLiteral("Sort by app"));
        QCOMPARE(header->hitArea(AppMetricKind::cpu)->toolTip(), QStringLiteral("Sort by CPU"));
        QCOMPARE(header->hitArea(AppMetricKind::memory)->toolTip(), QStringLiteral("Sort by memory"));

        // Rows: cards inset like the cards above, one line of at least 24
        // plus 7 above and below, 6 apart; figures in 58 and 74 frames.
        PaddedListView *list = view->section()->listView();
        const QRect first = list->cardRect(list->model()->index(0, 0));
        const QRect second = list->cardRect(list->model()->index(1, 0));
        QCOMPARE(geometryIn(list->viewport(), view.get()).left() + first.left(), 18);
        QCOMPARE(first.width(), 440 - 36);
        QVERIFY(first.height() >= 24 + 14);
        QCOMPARE(second.top() - (first.top() + first.height()), 6);
        const AppMetricRow::LineLayout line = AppMetricRow::lineLayout(
            QRectF(first).adjusted(10, 7, -10, -7), QStringLiteral("x"), 2, false);
        QCOMPARE(line.cpu.width(), 58.0);
        QCOMPARE(line.memory.width(), 74.0);
        QCOMPARE(line.memory.right(), first.left() + first.width() - 10.0);
        QCOMPARE(line.cpu.right(), line.memory.left() - 8.0);
    }

    // The list scrolls to 12 below its last row, and its rows line up with
    // the header card above whether the scroll bar shows or not.
    void listEndsTwelveBelowTheLastRow()
    {
        PaddedListView *list = view->section()->listView();
        QScrollBar *bar = list->verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        bar->setValue(bar->maximum());
        const QRect last = list->cardRect(list->model()->index(list->model()->rowCount() - 1, 0));
        QCOMPARE(list->viewport()->height() - (last.top() + last.height()), 12);
        QCOMPARE(geometryIn(list->viewport(), view.get()).left() + last.left(),
                 geometryIn(view->columnHeader(), view.get()).left());
    }

    void tilesShowTheMachineFigures()
    {
        const SummaryMetricView *cpu = view->header()->cpuTile();
        const SummaryMetricView *memory = view->header()->memoryTile();
        QCOMPARE(cpu->title(), QStringLiteral("CPU"));
        QCOMPARE(cpu->value(), QStringLiteral("37%"));
        QCOMPARE(cpu->detail(), std::nullopt);
        QCOMPARE(memory->title(), QStringLiteral("Memory"));
        QCOMPARE(memory->value(), QStringLiteral("64%"));
        QCOMPARE(memory->detail(), std::optional<QString>(QStringLiteral("10.3 GB / 16.0 GB")));

        // A detail that does not fit shrinks (to no less than 0.65) before it is cut.
        const QString detail = *memory->detail();
        QCOMPARE(SummaryMetricView::fitDetail(detail, 400).font.pixelSize(), 11);
        const SummaryMetricView::FittedText tight = SummaryMetricView::fitDetail(detail, 80);
        QVERIFY(tight.font.pixelSize() < 11);
        QVERIFY(tight.font.pixelSize() >= 8);
        const SummaryMetricView::FittedText cut = SummaryMetricView::fitDetail(detail, 30);
        QCOMPARE(cut.font.pixelSize(), 8);
        QVERIFY(cut.text.endsWith(QChar(0x2026)));
    }

    void processListGeometry()
    {
        view->listActions().showProcesses(appNamed(*fixture->store, "Code Editor"));
        ProcessListView *processes = view->processList();
        QVERIFY(processes->isVisible());
        ProcessListHeader *header = processes->header();
        QCOMPARE(geometryIn(header, view.get()).left(), 18);
        QCOMPARE(header->width(), 440 - 36);
        QCOMPARE(header->backButton()->size(), QSize(26, 26));
        QCOMPARE(header->backButton()->toolTip(), QStringLiteral("Back"));
        QCOMPARE(header->cpuTitleFrame().width(), 58.0);
        QCOMPARE(header->memoryTitleFrame().width(), 74.0);
        QCOMPARE(header->memoryTitleFrame().right(), header->width() - 8.0);

        PaddedListView *list = processes->listView();
        QCOMPARE(list->model()->rowCount(), 2);
        const QRect first = list->cardRect(list->model()->index(0, 0));
        const QRect second = list->cardRect(list->model()->index(1, 0));
        QVERIFY(first.height() >= 34);
        QCOMPARE(second.top() - (first.top() + first.height()), 4);
        QCOMPARE(geometryIn(list, view.get()).top() - geometryIn(header, view.get()).bottom() - 1, 10);
        const ProcessRow::Layout row = ProcessRow::layout(first, QStringLiteral("x"));
        QCOMPARE(row.cpu.width(), 58.0);
        QCOMPARE(row.memory.width(), 74.0);
        QCOMPARE(row.icon.size(), QSizeF(24, 24));
    }

    void columnHeaderIsAbsentWhileAnApplicationIsFocused()
    {
        QVERIFY(view->isColumnHeaderShown());
        const int listTop = geometryIn(view->section(), view.get()).top();
        view->listActions().showProcesses(appNamed(*fixture->store, "Code Editor"));
        QVERIFY(!view->isColumnHeaderShown());
        QVERIFY(view->isProcessListShown());
        QVERIFY(view->filterBar()->isVisible());
        // The content moves up into the header's place.
        QVERIFY(geometryIn(view->processList(), view.get()).top() < listTop);

        QTest::mouseClick(view->processList()->header()->backButton(), Qt::LeftButton);
        QVERIFY(view->isColumnHeaderShown());
        QVERIFY(!view->isProcessListShown());
    }

    void focusFollowsTheSample()
    {
        view->listActions().showProcesses(appNamed(*fixture->store, "Terminal"));
        QVERIFY(view->isProcessListShown());
        // The application quits: the list returns by itself, and comes back
        // to the process list if the application shows up again.
        const AppMetric terminal = appNamed(*fixture->store, "Terminal");
        fixture->machine.removeProcess(terminal.processes.at(0).id);
        fixture->store->refresh();
        QVERIFY(!view->isProcessListShown());
        QCOMPARE(view->listState().focusedAppID, std::optional<QString>(terminal.id));
        fixture->machine.addApp(QStringLiteral("Terminal"), {{QStringLiteral("terminal"), 1.0, 100 << 20}});
        fixture->store->refresh();
        QVERIFY(view->isProcessListShown());
    }

    void clearButtonFollowsTheUntrimmedText()
    {
        QLineEdit *field = view->filterBar()->field();
        SymbolButton *clear = view->filterBar()->clearButton();
        QVERIFY(!clear->isVisible());
        field->setFocus();
        QTest::keyClick(field, Qt::Key_Space);
        QVERIFY(clear->isVisible());
        QCOMPARE(view->listState().searchText, QStringLiteral(" "));
        QCOMPARE(listedIDs(*view).size(), 6); // a blank query filters nothing

        QTest::keyClicks(field, QStringLiteral("termin"));
        QCOMPARE(listedIDs(*view), QStringList{"terminal"});
        QTest::mouseClick(clear, Qt::LeftButton);
        QCOMPARE(field->text(), QString());
        QCOMPARE(view->listState().searchText, QString());
        QVERIFY(!clear->isVisible());
        QCOMPARE(listedIDs(*view).size(), 6);
    }

    void processListShowsItsEmptyText()
    {
        view->listActions().showProcesses(appNamed(*fixture->store, "Code Editor"));
        ProcessListView *processes = view->processList();
        QVERIFY(!processes->isShowingEmptyText());
        QTest::keyClicks(view->filterBar()->field(), QStringLiteral("no such thing"));
        QVERIFY(view->isProcessListShown()); // stays focused
        QVERIFY(processes->isShowingEmptyText());
        QVERIFY(processes->emptyLabel()->isVisible());
        QCOMPARE(processes->emptyLabel()->text(), QStringLiteral("No matching processes"));
        QCOMPARE(processes->model().rowCount(), 0);
        QTest::mouseClick(processes->header()->backButton(), Qt::LeftButton);
        QVERIFY(!view->isProcessListShown());
        QVERIFY(view->section()->emptyLabel()->isVisible());
        QCOMPARE(view->section()->emptyLabel()->text(), QStringLiteral("No process data"));
    }

    void headerRegionsChooseTheSortColumn()
    {
        MetricColumnHeaderView *header = view->columnHeader();
        QCOMPARE(view->listState().sortMetric, AppMetricKind::cpu);
        QTest::mouseClick(header->hitArea(AppMetricKind::memory), Qt::LeftButton);
        QCOMPARE(view->listState().sortMetric, AppMetricKind::memory);
        QCOMPARE(header->metric(), AppMetricKind::memory);
        QCOMPARE(listedIDs(*view).first(), QStringLiteral("web browser developer edition with a very long name"));
        // Left of the CPU region, over the spacer, is the application column.
        QWidget *appArea = header->childAt(header->width() - 10 - 112 - 96 - 5, header->height() / 2);
        QCOMPARE(appArea, header->hitArea(AppMetricKind::app));
        QTest::mouseClick(appArea, Qt::LeftButton);
        QCOMPARE(view->listState().sortMetric, AppMetricKind::app);
        QCOMPARE(listedIDs(*view).first(), QStringLiteral("code editor"));
    }

    void footerAndCloseButtonsReportUpwards()
    {
        QSignalSpy close(view.get(), &PopoverView::closeRequested);
        QSignalSpy quit(view.get(), &PopoverView::quitRequested);
        QSignalSpy refreshed(fixture->store.get(), &MetricsStore::snapshotChanged);
        SymbolButton *closeButton = view->header()->closeButton();
        QCOMPARE(closeButton->toolTip(), QStringLiteral("Close"));
        QCOMPARE(closeButton->accessibleName(), QStringLiteral("Close"));
        QTest::mouseClick(closeButton, Qt::LeftButton);
        QCOMPARE(close.count(), 1);
        QTest::mouseClick(view->refreshButton(), Qt::LeftButton);
        QCOMPARE(refreshed.count(), 1);
        QTest::mouseClick(view->quitButton(), Qt::LeftButton);
        QCOMPARE(quit.count(), 1);
        QCOMPARE(close.count(), 1);
    }

    void closeButtonFillsWhileHovered()
    {
        SymbolButton *button = view->header()->closeButton();
        const QImage idle = button->grab().toImage();
        QEnterEvent enter(QPointF(14, 14), QPointF(14, 14), button->mapToGlobal(QPointF(14, 14)));
        QApplication::sendEvent(button, &enter);
        QVERIFY(button->isHovering());
        const QImage hovered = button->grab().toImage();
        // The circle's edge region, away from the cross.
        QVERIFY(hovered.pixelColor(4, 14) != idle.pixelColor(4, 14));
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(button, &leave);
        QVERIFY(!button->isHovering());
        QCOMPARE(button->grab().toImage(), idle);
    }

    void storedHeightIsLimitedButNotRewritten()
    {
        view.reset();
        {
            QSettings settings(fixture->settings().fileName, QSettings::IniFormat);
            settings.setValue(QStringLiteral("popoverHeight"), 1000.0);
        }
        makeView();
        QCOMPARE(view->height(), 760);
        QCOMPARE(view->popoverHeight(), 1000.0);
        QSettings settings(fixture->settings().fileName, QSettings::IniFormat);
        QCOMPARE(settings.value(QStringLiteral("popoverHeight")).toDouble(), 1000.0);
    }

    void draggingTheStripResizesAndStores()
    {
        ResizeHandle *strip = view->resizeHandle();
        QCOMPARE(strip->height(), 12);
        QCOMPARE(strip->width(), 440);
        QCOMPARE(strip->capsuleRect().size(), QSizeF(38, 3));
        QCOMPARE(strip->cursor().shape(), Qt::SizeVerCursor);

        QSignalSpy heights(view.get(), &PopoverView::shownHeightChanged);
        const QPoint press(220, 6);
        QTest::mousePress(strip, Qt::LeftButton, {}, press);
        QTest::mouseMove(strip, press + QPoint(0, 20));
        QCOMPARE(view->height(), 540);
        QCOMPARE(heights.count(), 1);
        QCOMPARE(heights.last().at(0).toInt(), 540);
        // The strip moved down with the popover; the drag is measured on screen.
        QTest::mouseMove(strip, strip->mapFromGlobal(view->mapToGlobal(QPoint(0, 0)) + QPoint(220, 520 - 12 + 6 + 25)));
        QCOMPARE(view->height(), 540);
        QTest::mouseRelease(strip, Qt::LeftButton, {}, strip->mapFromGlobal(view->mapToGlobal(QPoint(0, 0)) + QPoint(220, 520 - 12 + 6 + 25)));
        QCOMPARE(view->height(), 545);
        QCOMPARE(heights.count(), 2);
        QSettings settings(fixture->settings().fileName, QSettings::IniFormat);
        QCOMPARE(settings.value(QStringLiteral("popoverHeight")).toDouble(), 545.0);
    }

    void nothingIsRebuiltWhileHidden()
    {
        view->hide();
        const int before = view->rebuildCount();
        fixture->machine.addApp(QStringLiteral("Late Arrival"), {{QStringLiteral("late"), 50.0, 100 << 20}});
        fixture->store->refresh();
        fixture->store->refresh();
        QCOMPARE(view->rebuildCount(), before);
        view->show();
        QCOMPARE(view->rebuildCount(), before + 1);
        QVERIFY(listedIDs(*view).contains(QStringLiteral("late arrival")));
    }
};

QTEST_MAIN(TestPopoverView)
#include "tst_popoverview.moc"
