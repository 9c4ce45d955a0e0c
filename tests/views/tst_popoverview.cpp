// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "PopoverFixture.h"

#include "views/AppListModel.h"
#include "views/FilterBar.h"
#include "views/MetricColumnHeaderView.h"
#include "views/MetricsSectionView.h"
#include "views/PaddedListView.h"
#include "views/PopoverHeader.h"
#include "views/PopoverView.h"
#include "views/ProcessListModel.h"
#include "views/ProcessListView.h"
#include "views/QuitAnswerBar.h"
#include "views/ResizeHandle.h"
#include "views/ScrollingArea.h"
#include "views/SummaryMetricView.h"
#include "views/SymbolButton.h"
#include "views/Theme.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QWheelEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

using namespace pelmora;
using namespace Qt::StringLiterals;

namespace {

int distance(const QColor &a, const QColor &b)
{
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue());
}

// Pixels of `image` within `rect` (logical units) close to `colour`.
int pixelsNear(const QImage &image, const QRect &rect, const QColor &colour)
{
    const qreal dpr = image.devicePixelRatio();
    const QRect r = QRect(rect.topLeft() * dpr, rect.size() * dpr).intersected(image.rect());
    int count = 0;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x)
            count += distance(image.pixelColor(x, y), colour) < 30;
    }
    return count;
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
    QRect geometryOf(const QWidget *widget) const { return {widget->mapTo(view.get(), QPoint(0, 0)), widget->size()}; }
    QStringList listed() const
    {
        QStringList ids;
        for (const AppMetric &app : view->section()->model().items())
            ids << app.id;
        return ids;
    }

private slots:
    void init()
    {
        fixture = std::make_unique<PopoverFixture>();
        makeView();
    }

    void cleanup()
    {
        view.reset();
        fixture.reset();
    }

    // The store's figures are shown and painted: offscreen at 1x and 2x each
    // row in its own colour, and different texts in different glyphs (missing
    // fonts draw the same boxes); a detail too long for its tile shrinks, then is cut.
    void showsAndPaintsTheFigures()
    {
        const SummaryMetricView *memory = view->header()->memoryTile();
        QCOMPARE(memory->value(), u"64%");
        QCOMPARE(memory->detail(), std::optional<QString>(u"10.3 GB / 16.0 GB"_s));
        const SummaryMetricView::FittedText cut = SummaryMetricView::fitDetail(*memory->detail(), 30);
        QVERIFY(cut.font.pixelSize() < SummaryMetricView::fitDetail(*memory->detail(), 400).font.pixelSize());
        QVERIFY(cut.text.endsWith(QChar(0x2026)));
        const QList<std::pair<QString, QColor>> rows{
            {"web browser developer edition with a very long name", Theme::systemRed()},
            {"code editor", Theme::systemOrange()},
            {"terminal", Theme::systemBlue()}};
        for (qreal dpr : {1.0, 2.0}) {
            QImage image(view->size() * dpr, QImage::Format_ARGB32_Premultiplied);
            image.setDevicePixelRatio(dpr);
            image.fill(Qt::transparent);
            view->render(&image);
            for (const auto &[id, colour] : rows) {
                const QRect card = view->section()->cardRect(id).translated(view->section()->mapTo(view.get(), QPoint()));
                for (const QColor &other : {Theme::systemRed(), Theme::systemOrange(), Theme::systemBlue()}) {
                    const int near = pixelsNear(image, card, other);
                    QVERIFY2(other == colour ? near > 3 * dpr : near == 0, qPrintable(id + ' ' + other.name()));
                }
            }
            QVERIFY(image.save(QDir(PELMORA_BINARY_DIR).filePath(dpr > 1 ? "popover@2x.png" : "popover.png")));
        }
        SummaryMetricView *tile = view->header()->cpuTile();
        QCOMPARE(tile->value(), u"37%");
        const QImage before = tile->grab().toImage();
        tile->setFigures(QStringLiteral("80%"), std::nullopt);
        QVERIFY(tile->grab().toImage() != before);
    }

    // The column header stays above the scrolled rows, which line up with it;
    // one application's processes take the list's place while it is listed.
    void listsHeadersAndEmptyStates()
    {
        PaddedListView *list = view->section()->listView();
        const QRect header = geometryOf(view->columnHeader());
        const int listTop = geometryOf(view->section()).top();
        QVERIFY(listTop > header.bottom());
        list->verticalScrollBar()->setValue(list->verticalScrollBar()->maximum());
        QVERIFY(list->verticalScrollBar()->value() > 0);
        const QRect last = list->cardRect(list->model()->index(list->model()->rowCount() - 1, 0));
        QCOMPARE(geometryOf(list->viewport()).left() + last.left(), header.left());
        QCOMPARE(geometryOf(view->columnHeader()), header);

        const AppMetric editor = view->section()->model().itemAt(1);
        QCOMPARE(editor.name, u"Code Editor");
        view->listActions().showProcesses(editor);
        ProcessListView *processes = view->processList();
        QVERIFY(!view->isColumnHeaderShown() && view->isProcessListShown());
        QCOMPARE(processes->model().rowCount(), 2);
        QVERIFY(geometryOf(processes).top() < listTop);
        QVERIFY(geometryOf(processes->listView()).top() > geometryOf(processes->header()).bottom());
        for (const ProcessMetric &process : editor.processes)
            fixture->machine.removeProcess(process.id);
        fixture->store->refresh();
        QVERIFY(!view->isProcessListShown()); // it quit; it comes back when it returns
        fixture->machine.addApp(editor.name, {{QStringLiteral("editor"), 1.0, 100 << 20}});
        fixture->store->refresh();
        QVERIFY(view->isProcessListShown());

        QTest::keyClicks(view->filterBar()->field(), QStringLiteral("no such thing"));
        QVERIFY(view->isProcessListShown() && processes->emptyLabel()->isVisible());
        QCOMPARE(processes->emptyLabel()->text(), u"No matching processes");
        QTest::mouseClick(processes->header()->backButton(), Qt::LeftButton);
        QVERIFY(view->isColumnHeaderShown() && !view->isProcessListShown());
        QVERIFY(view->section()->emptyLabel()->isVisible());
        QCOMPARE(view->section()->emptyLabel()->text(), u"No process data");
    }

    // Scrolling by wheel moves the application list, and, over its rows or
    // its header card, a long process list, which paints only what is in
    // view however many processes it lists.
    void listsScrollByWheelAndPaintOnlyWhatShows()
    {
        // As a wheel event from the window system travels: to the widget under
        // the pointer, then up its parents until one takes it (Qt passes a
        // synthesized one to its receiver only).
        const auto wheel = [this](QWidget *over) {
            const QPoint inView = over->mapTo(view.get(), QPoint(over->width() / 2, std::min(10, over->height() / 2)));
            for (QWidget *w = view->childAt(inView); w; w = w->parentWidget()) {
                const QPointF at = w->mapFrom(view.get(), inView);
                QWheelEvent event(at, w->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                                  Qt::NoScrollPhase, false);
                QApplication::sendEvent(w, &event);
                if (event.isAccepted())
                    return;
            }
        };
        PaddedListView *apps = view->section()->listView();
        wheel(apps->viewport());
        QVERIFY(apps->verticalScrollBar()->value() > 0);

        QList<FixtureMachine::Process> many;
        for (int i = 0; i < 120; ++i)
            many.append({QStringLiteral("worker-%1").arg(i), 0.1, 1 << 20});
        fixture->machine.addApp(QStringLiteral("Many Workers"), many);
        fixture->store->refresh();
        const AppMetric *workers = nullptr;
        for (const AppMetric &app : fixture->store->snapshot().allApps)
            workers = app.name == u"Many Workers" ? &app : workers;
        QVERIFY(workers);
        view->listActions().showProcesses(*workers);
        QListView *rows = view->processList()->listView();
        QCOMPARE(rows->model()->rowCount(), 120);
        QScrollBar *bar = view->processScroller()->verticalScrollBar();
        for (QWidget *over : {static_cast<QWidget *>(view->processList()->header()), rows->viewport()}) {
            const int before = bar->value();
            wheel(over);
            QVERIFY2(bar->value() > before, over->metaObject()->className());
        }
        // Opened again, it starts at the top.
        view->listActions().clearFilter();
        view->listActions().showProcesses(*workers);
        QCOMPARE(bar->value(), 0);

        QRegion painted;
        struct PaintWatch : QObject {
            QRegion *painted;
            bool eventFilter(QObject *, QEvent *event) override
            {
                if (event->type() == QEvent::Paint)
                    *painted += static_cast<QPaintEvent *>(event)->region();
                return false;
            }
        } watch;
        watch.painted = &painted;
        rows->viewport()->installEventFilter(&watch);
        rows->viewport()->update();
        QTRY_VERIFY(!painted.isEmpty());
        QVERIFY2(painted.boundingRect().height() <= view->processScroller()->viewport()->height(),
                 qPrintable(QString::number(painted.boundingRect().height())));
    }

    void filterAndSortColumns()
    {
        QLineEdit *field = view->filterBar()->field();
        QTest::keyClicks(field, QStringLiteral(" termin"));
        QCOMPARE(listed(), QStringList{"terminal"});
        QTest::mouseClick(view->filterBar()->clearButton(), Qt::LeftButton);
        QVERIFY(field->text().isEmpty() && !view->filterBar()->clearButton()->isVisible());
        QCOMPARE(listed().size(), 6);

        MetricColumnHeaderView *header = view->columnHeader();
        QTest::mouseClick(header->hitArea(AppMetricKind::memory), Qt::LeftButton);
        QCOMPARE(listed().mid(1, 2), (QStringList{"code editor", "terminal"}));
        QTest::mouseClick(header->hitArea(AppMetricKind::app), Qt::LeftButton);
        QCOMPARE(listed().mid(0, 2), (QStringList{"code editor", "files"}));
    }

    // A quit that could ask nothing answers in the panel, above the list:
    // the reason, and "End …" where the user's own processes remain, which
    // ends them only once confirmed. Focus lands on the answer; Return
    // presses, Escape steps back; the answer goes with the panel.
    void quitAnswer()
    {
        QuitAnswerBar *bar = view->quitAnswer();
        QVERIFY(!bar->isVisible());
        fixture->store->setUpdatesPaused(true); // only the follow-up of an End refreshes now
        QSignalSpy refreshed(fixture->store.get(), &MetricsStore::snapshotChanged);
        const QuitOutcome unreachable{u"mail"_s, u"Mail"_s, QuitOutcome::Kind::noRoute,
                                      QuitOutcome::Reason::unseenWindows, true};
        Q_EMIT fixture->store->quitAnswered(unreachable);
        QVERIFY(bar->isVisible());
        QVERIFY(geometryOf(bar).bottom() < geometryOf(view->columnHeader()).top());
        QCOMPARE(bar->message()->text(), QuitAnswerBar::answerText(unreachable));
        QVERIFY(bar->message()->text().contains(u"Mail"));
        QVERIFY(bar->endButton()->isVisible() && bar->endButton()->hasFocus());
        QCOMPARE(bar->endButton()->accessibleName(), QuitAnswerBar::endTitle(u"Mail"_s));
        QCOMPARE(bar->endButton()->accessibleDescription(), bar->message()->text());

        // Return asks first; Escape goes back to the answer, then takes it away.
        QTest::keyClick(bar->endButton(), Qt::Key_Return);
        QVERIFY(bar->isConfirming() && bar->cancelButton()->hasFocus() && bar->confirmButton()->isVisible());
        QCOMPARE(bar->message()->text(), QuitAnswerBar::confirmationText(u"Mail"_s));
        QTest::keyClick(bar->cancelButton(), Qt::Key_Escape);
        QVERIFY(!bar->isConfirming() && bar->endButton()->hasFocus());
        QTest::keyClick(bar->endButton(), Qt::Key_Escape);
        QVERIFY(!bar->isVisible() && view->isVisible());

        // Confirmed, it ends the application and refreshes a second later.
        Q_EMIT fixture->store->quitAnswered(unreachable);
        QTest::mouseClick(bar->endButton(), Qt::LeftButton);
        QCOMPARE(refreshed.count(), 0);
        QTest::keyClick(bar->cancelButton(), Qt::Key_Tab);
        QVERIFY(bar->confirmButton()->hasFocus());
        QTest::keyClick(bar->confirmButton(), Qt::Key_Return);
        QVERIFY(!bar->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(refreshed.count(), 1, 3000);

        // Nothing of its own to end: the answer alone; a quit that asked says nothing.
        const QuitOutcome others{u"mail"_s, u"Mail"_s, QuitOutcome::Kind::noRoute, QuitOutcome::Reason::otherUsers,
                                 false};
        Q_EMIT fixture->store->quitAnswered(others);
        QVERIFY(bar->isVisible() && !bar->endButton()->isVisible() && bar->dismissButton()->hasFocus());
        Q_EMIT fixture->store->quitAnswered({u"mail"_s, u"Mail"_s, QuitOutcome::Kind::asked});
        QVERIFY(!bar->isVisible());

        // An answer that came while the panel was closed shows when it opens, and goes when it closes.
        view->hide();
        Q_EMIT fixture->store->quitAnswered(others);
        view->show();
        QVERIFY(bar->isVisible());
        view->hide();
        view->show();
        QVERIFY(!bar->isVisible());
    }

    // Refresh and app quits reach the store (a quit refreshes a second later);
    // a hidden popover only catches up once shown.
    void buttonsAndRefreshes()
    {
        QSignalSpy close(view.get(), &PopoverView::closeRequested);
        QSignalSpy quit(view.get(), &PopoverView::quitRequested);
        QSignalSpy refreshed(fixture->store.get(), &MetricsStore::snapshotChanged);
        QTest::mouseClick(view->header()->closeButton(), Qt::LeftButton);
        QCOMPARE(close.count(), 1); // the close button closes, and nothing else
        QCOMPARE(quit.count(), 0);
        QTest::mouseClick(view->refreshButton(), Qt::LeftButton);
        QCOMPARE(refreshed.count(), 1);
        QTest::mouseClick(view->quitButton(), Qt::LeftButton);
        QCOMPARE(quit.count(), 1); // Quit quits
        QCOMPARE(close.count(), 1);
        view->listActions().quitApp(view->section()->model().itemAt(0));
        QCOMPARE(refreshed.count(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(refreshed.count(), 2, 3000);

        view->hide();
        const int before = view->rebuildCount();
        fixture->machine.addApp(QStringLiteral("Late Arrival"), {{QStringLiteral("late"), 50.0, 100 << 20}});
        fixture->store->refresh();
        QCOMPARE(view->rebuildCount(), before);
        view->show();
        QCOMPARE(view->rebuildCount(), before + 1);
        QVERIFY(listed().contains(u"late arrival"_s));
    }

    // Shown within 360..760 (a stored 1000 is not rewritten until a drag),
    // measured on screen from where the drag began, as the strip moves with
    // the edge; stored in steps of 8 while dragging and exactly on release.
    void stripDragResizesAndStores()
    {
        view.reset();
        PopoverHeightSetting(fixture->settings()).write(1000);
        makeView();
        QCOMPARE(view->height(), 760);
        QSignalSpy heights(view.get(), &PopoverView::shownHeightChanged);
        ResizeHandle *strip = view->resizeHandle();
        const QPoint press = strip->mapToGlobal(QPoint(220, 6));
        const auto at = [&](int dy) { return strip->mapFromGlobal(press + QPoint(0, dy)); };
        QTest::mousePress(strip, Qt::LeftButton, {}, at(0));
        QTest::mouseMove(strip, at(-20));
        QCOMPARE(view->height(), 740);
        QTest::mouseMove(strip, at(-25));
        QCOMPARE(view->height(), 740);
        QTest::mouseRelease(strip, Qt::LeftButton, {}, at(-25));
        QCOMPARE(view->height(), 735);
        QCOMPARE(heights.count(), 2);
        QCOMPARE(PopoverHeightSetting(fixture->settings()).read(), 735.0);
        // A second drag stops at the minimum.
        QTest::mousePress(strip, Qt::LeftButton, {}, strip->rect().center());
        QTest::mouseMove(strip, strip->rect().center() - QPoint(0, 600));
        QTest::mouseRelease(strip, Qt::LeftButton, {}, strip->rect().center() - QPoint(0, 600));
        QCOMPARE(view->height(), 360);
        QCOMPARE(heights.count(), 3);
        QCOMPARE(PopoverHeightSetting(fixture->settings()).read(), 360.0);
    }
};

QTEST_MAIN(TestPopoverView)
#include "tst_popoverview.moc"
