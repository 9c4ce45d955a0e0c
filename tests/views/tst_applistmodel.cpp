#include "ViewTestData.h"

#include "views/AppListModel.h"
#include "views/ProcessListModel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

using namespace pelmora;


namespace {

QList<AppMetric> appsNamed(const QString &letters)
{
    QList<AppMetric> apps;
    for (QChar c : letters)
        apps << testApp(QString(c), 1.0, 100);
    return apps;
}

} // namespace

class TestAppListModel : public QObject {
    Q_OBJECT

private slots:
    // Any old order becomes any new order through row operations alone, with
    // the model consistent at every step.
    void reachesTheNewOrderWithoutAReset_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::newRow("empty to some") << "" << "abc";
        QTest::newRow("some to empty") << "abc" << "";
        QTest::newRow("reversed") << "abcde" << "edcba";
        QTest::newRow("rotated") << "abcde" << "bcdea";
        QTest::newRow("removals in runs") << "abcdefg" << "adg";
        QTest::newRow("insertions between") << "aceg" << "abcdefg";
        QTest::newRow("everything at once") << "abcdef" << "fxbyda";
        QTest::newRow("disjoint") << "abc" << "xyz";
    }
    void reachesTheNewOrderWithoutAReset()
    {
        QFETCH(QString, before);
        QFETCH(QString, after);
        AppListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setItems(appsNamed(before));
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        model.setItems(appsNamed(after));
        QCOMPARE(appIDs(model.items()), appIDs(appsNamed(after)));
        QCOMPARE(resets.count(), 0);
    }

    void onlyChangedRecordsAreReported()
    {
        AppListModel model;
        model.setItems({testApp("A", 1, 100), testApp("B", 2, 200), testApp("C", 3, 300)});
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        QSignalSpy moved(&model, &QAbstractItemModel::rowsMoved);
        model.setItems({testApp("A", 1, 100), testApp("B", 9, 200), testApp("C", 3, 300)});
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).value<QModelIndex>().row(), 1);
        QCOMPARE(moved.count(), 0);
        QCOMPARE(model.itemAt(1).cpuPercent, 9.0);
    }

    // A persistent index (what selection and hover hang on) follows its
    // application to its new place, and sees its new figures.
    void persistentIndexFollowsItsApplication()
    {
        AppListModel model;
        model.setItems({testApp("A", 9, 100), testApp("B", 5, 200), testApp("C", 1, 300)});
        const QPersistentModelIndex c(model.index(2));
        model.setItems({testApp("C", 50, 300), testApp("A", 9, 100)});
        QVERIFY(c.isValid());
        QCOMPARE(c.row(), 0);
        QCOMPARE(c.data(AppListModel::AppIDRole).toString(), QStringLiteral("c"));
        QCOMPARE(model.itemAt(c.row()).cpuPercent, 50.0);
    }

    void repeatedIDsDoNotLeaveStaleRows()
    {
        AppListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setItems(appsNamed("abc"));
        model.setItems(appsNamed("aab"));
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(appIDs(model.items()), QStringList({"a", "a", "b"}));
    }

    void processesWithOneNameAreSeparateRows()
    {
        ProcessListModel model;
        model.setItems({{1, "App", "worker", 1, 1}, {2, "App", "worker", 2, 2}});
        QCOMPARE(model.rowCount(), 2);
        model.setItems({{2, "App", "worker", 3, 2}, {1, "App", "worker", 1, 1}});
        QCOMPARE(model.itemAt(0).id, 2);
        QCOMPARE(model.itemAt(0).cpuPercent, 3.0);
    }

    void rowsSayWhatAClickDoes()
    {
        AppListModel model;
        model.setItems({testApp("Web Browser", 1, 100)});
        QCOMPARE(model.index(0).data(Qt::ToolTipRole).toString(), QStringLiteral("Show actions for Web Browser"));
        QCOMPARE(model.index(0).data(Qt::AccessibleTextRole).toString(),
                 QStringLiteral("Show actions for Web Browser"));
    }
};

QTEST_MAIN(TestAppListModel)
#include "tst_applistmodel.moc"
