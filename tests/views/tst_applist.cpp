// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "views/AppActionMenuPresenter.h"
#include "views/AppListModel.h"
#include "views/AppMetricRow.h"
#include "views/AppRowDelegate.h"
#include "views/FigureEmphasis.h"
#include "views/MetricsSectionView.h"
#include "views/PaddedListView.h"
#include "views/ProcessListModel.h"

#include <QAbstractItemModelTester>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTextLayout>

using namespace pelmora;
using namespace Qt::StringLiterals;

static AppMetric testApp(const QString &name, double cpu = 1, quint64 memory = 100, int processCount = 1)
{
    AppMetric app{name.toLower(), name, cpu, memory, {}};
    for (int i = 0; i < processCount; ++i)
        app.processes.append({qint32(1000 + i), name, name.toLower() + QString::number(i), cpu, memory});
    return app;
}

// The application list: its model, and the row menu, with the host's callbacks
// recorded in order and a runner that notes the menu and "chooses" an item.
class TestAppList : public QObject {
    Q_OBJECT

    QStringList calls;
    std::pair<QString, QPoint> lastMenu; // its quit title and position
    int choice = -1; // the item picked, -1 for none
    std::unique_ptr<MetricsSectionView> section;

    void setApps(const QList<AppMetric> &apps)
    {
        AppListActions a;
        const auto note = [this](const QString &what, const AppMetric &app) {
            calls << what + app.id + (section->showsActions(app.id) ? " (flag still set)" : "");
        };
        a.quitApp = [note](const AppMetric &app) { note("quit ", app); };
        a.showProcesses = [note](const AppMetric &app) { note("show ", app); };
        a.setUpdatesPaused = [this](bool paused) { calls << (paused ? "pause" : "resume"); };
        section->setContent(AppMetricKind::cpu, apps, a);
    }

    // Returns once what is queued on the presenter so far has run: a menu
    // asked for opens one event-loop turn later, or not at all.
    void runQueuedRequests()
    {
        bool done = false;
        QMetaObject::invokeMethod(
            &section->menuPresenter(), [&done] { done = true; }, Qt::QueuedConnection);
        QVERIFY(QTest::qWaitFor([&done] { return done; }));
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void init()
    {
        calls.clear();
        choice = -1;
        section = std::make_unique<MetricsSectionView>();
        section->resize(440, 300);
        section->menuPresenter().setMenuRunner([this](QMenu &menu, QPoint pos) {
            calls << "menu";
            lastMenu = {menu.actions().last()->text(), pos};
            return choice < 0 ? nullptr : menu.actions().at(choice);
        });
        setApps({testApp("AT&T Mail", 30, 100, 3), testApp("Editor", 10), testApp("Idle", 0, 100, 0)});
        section->show();
        QVERIFY(QTest::qWaitForWindowExposed(section.get()));
    }

    // Any old order becomes any new one by row operations alone, so selection,
    // hover and scroll (persistent indexes) follow their application, and only
    // a changed record repaints.
    void modelKeepsRowIdentity_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::newRow("empty to some") << u""_s << u"abc"_s;
        QTest::newRow("some to empty") << u"abc"_s << u""_s;
        QTest::newRow("removals in runs") << u"abcdefg"_s << u"adg"_s;
        QTest::newRow("everything at once") << u"abcdef"_s << u"fxbyda"_s;
        QTest::newRow("repeated key") << u"abc"_s << u"aab"_s;
    }
    void modelKeepsRowIdentity()
    {
        QFETCH(QString, before);
        QFETCH(QString, after);
        const auto apps = [](const QString &letters, double cpu = 1) {
            QList<AppMetric> list;
            for (QChar c : letters)
                list << testApp(QString(c), cpu);
            return list;
        };
        AppListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setItems(apps(before));
        QList<QPersistentModelIndex> kept;
        for (int row = 0; row < model.rowCount(); ++row)
            kept << QPersistentModelIndex(model.index(row));
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        model.setItems(apps(after));
        QCOMPARE(model.items(), apps(after));
        QCOMPARE(resets.count() + changed.count(), 0);
        for (int i = 0; i < kept.size(); ++i) {
            QCOMPARE(kept.at(i).isValid(), after.contains(before.at(i)));
            QCOMPARE(kept.at(i).data(AppListModel::AppIDRole).toString(), kept.at(i).isValid() ? before.mid(i, 1) : "");
        }
        if (!after.isEmpty()) {
            model.setItems(apps(after.left(1), 9) + apps(after.mid(1)));
            QCOMPARE(changed.count(), 1);
            QCOMPARE(changed.at(0).at(0).value<QModelIndex>().row(), 0);
        }
    }

    // Rows are spaced by the gap and the last one is followed by the padding,
    // also after rows were added, removed or moved under a shown list.
    void gapsFollowTheRows_data()
    {
        QTest::addColumn<QStringList>("after");
        QTest::newRow("appended") << QStringList{"AT&T Mail", "Editor", "Idle", "Zed"};
        QTest::newRow("last removed") << QStringList{"AT&T Mail", "Editor"};
        QTest::newRow("last moved up") << QStringList{"Idle", "AT&T Mail", "Editor"};
    }
    void gapsFollowTheRows()
    {
        QFETCH(QStringList, after);
        QList<AppMetric> apps;
        for (const QString &name : after)
            apps << testApp(name, 40 - apps.size());
        setApps(apps);
        PaddedListView *list = section->listView();
        QTRY_COMPARE(list->model()->rowCount(), int(after.size()));
        for (int row = 0; row < after.size(); ++row) {
            const QModelIndex index = list->model()->index(row, 0);
            const bool isLast = row == after.size() - 1;
            QCOMPARE(list->visualRect(index).height(),
                     AppMetricRow::height() + (isLast ? AppRowDelegate::bottomPadding : AppRowDelegate::rowSpacing));
        }
    }

    // Figures are the shared formatters' texts; the count is a plural form;
    // processes are keyed by pid, not name.
    void rowTexts()
    {
        AppListModel model;
        model.setItems({testApp("Mail", 0.25, 3 * (quint64(1) << 29))});
        QCOMPARE(model.index(0).data(Qt::AccessibleDescriptionRole).toString(), u"0.2% CPU, 1.5 GB memory");
        QCOMPARE(AppMetricRow::countText(1), std::nullopt);
        for (const QLocale &locale : {QLocale(QLocale::English, QLocale::UnitedStates), QLocale(QLocale::German),
                                      QLocale(QLocale::Arabic, QLocale::Egypt)}) {
            QLocale::setDefault(locale); // plain digits, never grouped
            QCOMPARE(AppMetricRow::countText(1234), std::optional<QString>(u"1234"_s));
        }
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        ProcessListModel processes;
        processes.setItems({{1, "App", "worker", 1, 1}, {2, "App", "worker", 2, 2}});
        const QPersistentModelIndex first(processes.index(0));
        processes.setItems({{2, "App", "worker", 2, 2}, {1, "App", "worker", 1, 1}});
        QCOMPARE(first.row(), 1);
    }

    // Which figures stand out, and how.
    void emphasis()
    {
        const auto cpu = AppMetricKind::cpu, memory = AppMetricKind::memory, app = AppMetricKind::app;
        const FigureEmphasis plain{false, FigureTint::secondary};
        const auto bold = [](FigureTint tint) { return FigureEmphasis{true, tint}; };
        QCOMPARE(cpuFigureEmphasis(4.99, cpu, false), bold(FigureTint::blue));
        QCOMPARE(cpuFigureEmphasis(5, cpu, false), bold(FigureTint::orange));
        QCOMPARE(cpuFigureEmphasis(20, cpu, false), bold(FigureTint::red));
        QCOMPARE(cpuFigureEmphasis(20, app, false), plain);
        QCOMPARE(cpuFigureEmphasis(80, cpu, true), plain); // a process line
        QCOMPARE(memoryFigureEmphasis(gibibyte, cpu, false), plain);
        QCOMPARE(memoryFigureEmphasis(gibibyte, memory, false), bold(FigureTint::primary));
        QCOMPARE(memoryFigureEmphasis(gibibyte + 1, app, false), bold(FigureTint::orange));
        QCOMPARE(memoryFigureEmphasis(4 * gibibyte, memory, false), bold(FigureTint::orange));
        QCOMPARE(memoryFigureEmphasis(4 * gibibyte + 1, cpu, false), bold(FigureTint::red));
        QCOMPARE(memoryFigureEmphasis(8 * gibibyte, memory, true), plain);
    }

    // Repeated requests and a refresh before it opens show one menu; a
    // request whose row leaves the list is withdrawn, resuming refreshes; off
    // screen it waits for the next refresh.
    void pendingRequests()
    {
        const QStringList shown{"pause", "menu", "resume"};
        section->requestActions("editor");
        section->requestActions("editor");
        setApps({testApp("Editor", 12), testApp("Idle")});
        QTRY_COMPARE(calls, shown);
        section->requestActions("editor");
        setApps({testApp("Idle")});
        runQueuedRequests();
        QCOMPARE(calls, shown + QStringList({"pause", "resume"}));
        calls.clear();
        section->hide();
        setApps({testApp("Editor")});
        section->requestActions("editor");
        runQueuedRequests();
        QCOMPARE(calls, QStringList{"pause"});
        section->show();
        setApps({testApp("Editor")});
        QTRY_COMPARE(calls, shown);
    }

    // Whatever direction controls a name holds, it cannot reorder the words
    // of the title around it: they stay where they are, the name between.
    void menuTitlesIsolateTheName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << "Mail";
        QTest::newRow("right-to-left override") << u"\u202Eexe.txt"_s;
        QTest::newRow("override after a stray isolate end") << u"\u2069\u202Eexe.txt"_s;
        QTest::newRow("isolate left open") << u"\u05D3\u05D5\u2067exe"_s;
        QTest::newRow("right-to-left script") << u"\u05D3\u05D5\u05D0\u05F4\u05DC"_s;
    }
    void menuTitlesIsolateTheName()
    {
        QFETCH(QString, name);
        const QString title = AppActionMenuPresenter::showProcessesTitle(name);
        QTextLayout layout(title, section->font());
        layout.beginLayout();
        QTextLine line = layout.createLine();
        layout.endLayout();
        const qsizetype nameStart = title.indexOf(u"Show all "_s) + 9;
        const qsizetype nameEnd = title.indexOf(u" processes"_s);
        QVERIFY(nameStart == 9 && nameEnd > nameStart);
        qreal left = line.naturalTextWidth(), right = 0;
        for (qsizetype i = nameStart; i <= nameEnd; ++i) {
            left = std::min(left, line.cursorToX(int(i)));
            right = std::max(right, line.cursorToX(int(i)));
        }
        QVERIFY(line.cursorToX(int(nameStart) - 1) <= left + 0.5); // "Show all" before the name
        QVERIFY(line.cursorToX(int(nameEnd) + 1) >= right - 0.5); // "processes" after it
        QCOMPARE(line.cursorToX(int(title.size())), line.naturalTextWidth()); // and ends the line
    }

    // A row is a button: only a press and a release on the same application
    // ask for its menu, one turn later, below the row, titled as written ('&&'
    // shows '&'); the flag is cleared before the chosen command runs.
    void clickedRowRunsTheChosenCommand_data()
    {
        QTest::addColumn<QString>("pressed"); // an application, or "gap": between two rows
        QTest::addColumn<QString>("released");
        QTest::addColumn<int>("item"); // -1: no menu may open
        QTest::addColumn<QStringList>("commands");
        const auto row = [](const char *why, const char *pressed, const char *released, int item,
                            const QStringList &commands) {
            QTest::newRow(why) << QString(pressed) << QString(released) << item << commands;
        };
        row("show processes", "at&t mail", "at&t mail", 0, {"show at&t mail"});
        row("quit", "at&t mail", "at&t mail", 2, {"quit at&t mail"});
        row("no processes to show", "idle", "idle", 0, {});
        row("onto another row", "at&t mail", "editor", -1, {});
        row("from a gap onto a row", "gap", "editor", -1, {});
        row("off the row", "editor", "gap", -1, {});
    }
    void clickedRowRunsTheChosenCommand()
    {
        QFETCH(QString, pressed);
        QFETCH(QString, released);
        QFETCH(int, item);
        QFETCH(QStringList, commands);
        choice = item;
        QWidget *viewport = section->listView()->viewport();
        const auto at = [&](const QString &id) {
            // A gap: just below the first row's card.
            const QRect card = section->cardRect(id == "gap" ? u"at&t mail"_s : id);
            return viewport->mapFrom(section.get(),
                                     id == "gap" ? QPoint(card.center().x(), card.bottom() + 3) : card.center());
        };
        QTest::mousePress(viewport, Qt::LeftButton, {}, at(pressed));
        QTest::mouseMove(viewport, at(released));
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, at(released));
        if (item < 0) {
            runQueuedRequests();
            QCOMPARE(calls, QStringList());
            return;
        }
        QCOMPARE(calls, QStringList{"pause"});
        QTRY_COMPARE(calls, QStringList({"pause", "menu", "resume"}) + commands);
        QCOMPARE(lastMenu.first, pressed == "idle" ? u"Quit \u2068Idle\u2069" : u"Quit \u2068AT&&T Mail\u2069");
        const QRect card = section->cardRect(pressed);
        QCOMPARE(lastMenu.second, section->mapToGlobal(QPoint(card.left() + 8, card.bottom() + 1)));
    }
};

QTEST_MAIN(TestAppList)
#include "tst_applist.moc"
