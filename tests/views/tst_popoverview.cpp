// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "PopoverFixture.h"

#include "views/FilterBar.h"
#include "views/MetricColumnHeaderView.h"
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
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

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
    template<typename T> T *partOfView(const char *name) const { return part<T>(*view, name); }
    MetricsSectionView *applications() const { return partOfView<MetricsSectionView>("applications"); }
    PopoverHeader *header() const { return partOfView<PopoverHeader>("header"); }
    QStringList listed() const
    {
        QStringList ids;
        for (const AppMetric &app : applications()->model().items())
            ids << app.id;
        return ids;
    }
    bool showsColumnHeader() const { return partOfView<QWidget>("columnHeader")->isVisibleTo(view.get()); }

private slots:
    void init()
    {
        view.reset(); // before the store it shows
        fixture = std::make_unique<PopoverFixture>();
        makeView();
    }

    // The figures are painted: offscreen at 1x and 2x each row in its own
    // colour, and different texts in different glyphs (missing fonts draw the
    // same boxes); a detail too long for its tile shrinks, then is cut.
    void paintsTheFigures()
    {
        const QString detail = header()->memoryTile()->detail().value_or(QString());
        const SummaryMetricView::FittedText cut = SummaryMetricView::fitDetail(detail, 30);
        QVERIFY(cut.font.pixelSize() < SummaryMetricView::fitDetail(detail, 400).font.pixelSize());
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
                const QRect card = applications()->cardRect(id).translated(applications()->mapTo(view.get(), QPoint()));
                for (const QColor &other : {Theme::systemRed(), Theme::systemOrange(), Theme::systemBlue()}) {
                    const int near = pixelsNear(image, card, other);
                    QVERIFY2(other == colour ? near > 3 * dpr : near == 0, qPrintable(id + ' ' + other.name()));
                }
            }
            QVERIFY(image.save(QDir(PELMORA_BINARY_DIR).filePath(dpr > 1 ? "popover@2x.png" : "popover.png")));
        }
        SummaryMetricView *tile = header()->cpuTile();
        const QImage before = tile->grab().toImage();
        tile->setFigures(QStringLiteral("80%"), std::nullopt);
        QVERIFY(tile->grab().toImage() != before);
    }

    // The column header stays above the scrolled rows, which line up with it;
    // one application's processes take the list's place while it is listed.
    void listsHeadersAndEmptyStates()
    {
        PaddedListView *list = applications()->listView();
        auto *columnHeader = partOfView<MetricColumnHeaderView>("columnHeader");
        const QRect header = geometryOf(columnHeader);
        const int listTop = geometryOf(applications()).top();
        QVERIFY(listTop > header.bottom());
        list->verticalScrollBar()->setValue(list->verticalScrollBar()->maximum());
        QVERIFY(list->verticalScrollBar()->value() > 0);
        const QRect last = list->cardRect(list->model()->index(list->model()->rowCount() - 1, 0));
        QCOMPARE(geometryOf(list->viewport()).left() + last.left(), header.left());
        QCOMPARE(geometryOf(columnHeader), header);

        const AppMetric editor = applications()->model().itemAt(1);
        QCOMPARE(editor.name, u"Code Editor");
        chooseFromRowMenu(*view, editor.id, RowCommand::showProcesses);
        QTRY_VERIFY(showsProcesses(*view));
        auto *processes = partOfView<ProcessListView>("processList");
        QVERIFY(!showsColumnHeader());
        QCOMPARE(processes->appID(), editor.id);
        QCOMPARE(processes->model().rowCount(), 2);
        QVERIFY(geometryOf(processes).top() < listTop);
        QVERIFY(geometryOf(processes->listView()).top() > geometryOf(processes->header()).bottom());
        for (const ProcessMetric &process : editor.processes)
            fixture->machine.removeProcess(process.id);
        fixture->store->refresh();
        QVERIFY(!showsProcesses(*view)); // it quit; it comes back when it returns
        fixture->machine.addApp(editor.name, {{QStringLiteral("editor"), 1.0, 100 << 20}});
        fixture->store->refresh();
        QVERIFY(showsProcesses(*view));

        QTest::keyClicks(partOfView<FilterBar>("filterBar")->field(), QStringLiteral("no such thing"));
        QVERIFY(showsProcesses(*view) && processes->emptyLabel()->isVisible());
        QCOMPARE(processes->emptyLabel()->text(), u"No matching processes");
        QTest::mouseClick(processes->header()->backButton(), Qt::LeftButton);
        QVERIFY(showsColumnHeader() && !showsProcesses(*view));
        QVERIFY(applications()->emptyLabel()->isVisible());
        QCOMPARE(applications()->emptyLabel()->text(), u"No process data");
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
        PaddedListView *apps = applications()->listView();
        wheel(apps->viewport());
        QVERIFY(apps->verticalScrollBar()->value() > 0);

        QList<FixtureMachine::Process> many;
        for (int i = 0; i < 120; ++i)
            many.append({QStringLiteral("worker-%1").arg(i), 0.1, 1 << 20});
        fixture->machine.addApp(QStringLiteral("Many Workers"), many);
        fixture->store->refresh();
        chooseFromRowMenu(*view, u"many workers"_s, RowCommand::showProcesses);
        QTRY_VERIFY(showsProcesses(*view));
        auto *processes = partOfView<ProcessListView>("processList");
        QListView *rows = processes->listView();
        QCOMPARE(rows->model()->rowCount(), 120);
        auto *scroller = partOfView<ContentScroller>("processScroller");
        QScrollBar *bar = scroller->verticalScrollBar();
        for (QWidget *over : {static_cast<QWidget *>(processes->header()), rows->viewport()}) {
            const int before = bar->value();
            wheel(over);
            QVERIFY2(bar->value() > before, over->metaObject()->className());
        }
        // Opened again, it starts at the top.
        QTest::mouseClick(processes->header()->backButton(), Qt::LeftButton);
        chooseFromRowMenu(*view, u"many workers"_s, RowCommand::showProcesses);
        QTRY_VERIFY(showsProcesses(*view));
        QCOMPARE(bar->value(), 0);

        struct PaintWatch : QObject {
            QRegion painted;
            bool eventFilter(QObject *, QEvent *event) override
            {
                if (event->type() == QEvent::Paint)
                    painted += static_cast<QPaintEvent *>(event)->region();
                return false;
            }
        } watch;
        rows->viewport()->installEventFilter(&watch);
        rows->viewport()->update();
        QTRY_VERIFY(!watch.painted.isEmpty());
        QVERIFY2(watch.painted.boundingRect().height() <= scroller->viewport()->height(),
                 qPrintable(QString::number(watch.painted.boundingRect().height())));
    }

    void filterAndSortColumns()
    {
        auto *filterBar = partOfView<FilterBar>("filterBar");
        QLineEdit *field = filterBar->field();
        QTest::keyClicks(field, QStringLiteral(" termin"));
        QCOMPARE(listed(), QStringList{"terminal"});
        QTest::mouseClick(filterBar->clearButton(), Qt::LeftButton);
        QVERIFY(field->text().isEmpty() && !filterBar->clearButton()->isVisible());
        QCOMPARE(listed().size(), 6);

        auto *header = partOfView<MetricColumnHeaderView>("columnHeader");
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
        auto *bar = partOfView<QuitAnswerBar>("quitAnswer");
        QVERIFY(!bar->isVisible());
        fixture->store->setUpdatesPaused(true); // only the follow-up of an End refreshes now
        QSignalSpy refreshed(fixture->store.get(), &MetricsStore::snapshotChanged);
        const QuitOutcome unreachable{u"mail"_s, u"Mail"_s, QuitOutcome::Kind::noRoute,
                                      QuitOutcome::Reason::unseenWindows, true};
        Q_EMIT fixture->store->quitAnswered(unreachable);
        QVERIFY(bar->isVisible());
        QVERIFY(geometryOf(bar).bottom() < geometryOf(partOfView<QWidget>("columnHeader")).top());
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

        // Confirmed, it ends the application and refreshes after the follow-up delay.
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

    // Refresh and app quits reach the store (a quit refreshes after the
    // follow-up delay); a hidden popover only catches up once shown.
    void buttonsAndRefreshes()
    {
        QSignalSpy close(view.get(), &PopoverView::closeRequested);
        QSignalSpy quit(view.get(), &PopoverView::quitRequested);
        QSignalSpy refreshed(fixture->store.get(), &MetricsStore::snapshotChanged);
        QTest::mouseClick(header()->closeButton(), Qt::LeftButton);
        QCOMPARE(close.count(), 1); // the close button closes, and nothing else
        QCOMPARE(quit.count(), 0);
        QTest::mouseClick(partOfView<QWidget>("refreshButton"), Qt::LeftButton);
        QCOMPARE(refreshed.count(), 1);
        QTest::mouseClick(partOfView<QWidget>("quitButton"), Qt::LeftButton);
        QCOMPARE(quit.count(), 1); // Quit quits
        QCOMPARE(close.count(), 1);
        QSignalSpy answered(fixture->store.get(), &MetricsStore::quitAnswered);
        chooseFromRowMenu(*view, listed().constFirst(), RowCommand::quit);
        QTRY_COMPARE(answered.count(), 1);
        QCOMPARE(answered.constFirst().constFirst().value<QuitOutcome>().appId, listed().constFirst());
        QTRY_COMPARE(refreshed.count(), 2);

        view->hide();
        fixture->machine.addApp(QStringLiteral("Late Arrival"), {{QStringLiteral("late"), 50.0, 100 << 20}});
        fixture->store->refresh();
        QVERIFY(!listed().contains(u"late arrival"_s));
        view->show();
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
        auto *strip = partOfView<ResizeHandle>("resizeHandle");
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
