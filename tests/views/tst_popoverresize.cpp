#include "views/PopoverHeightSetting.h"
#include "views/PopoverResize.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <limits>

using namespace pelmora;

class TestPopoverResize : public QObject {
    Q_OBJECT

private slots:
    void shownHeightIsLimited()
    {
        QCOMPARE(PopoverResize::limited(300), 360.0);
        QCOMPARE(PopoverResize::limited(1000), 760.0);
        QCOMPARE(PopoverResize::limited(525.5), 525.5);
    }

    void pressWithoutMovingWritesTheLimitedHeight_data()
    {
        QTest::addColumn<double>("stored");
        QTest::addColumn<double>("written");
        QTest::newRow("below") << 300.0 << 360.0;
        QTest::newRow("above") << 1000.0 << 760.0;
    }
    void pressWithoutMovingWritesTheLimitedHeight()
    {
        QFETCH(double, stored);
        QFETCH(double, written);
        PopoverResize resize;
        QCOMPARE(resize.dragChanged(stored, 0), std::optional<double>(written));
        QCOMPARE(resize.dragEnded(), std::optional<double>(written));
        QVERIFY(!resize.isDragging());
    }

    void smallDragIsWrittenOnlyOnRelease()
    {
        PopoverResize resize;
        double stored = 520;
        for (double t : {0.0, 2.0, 5.0})
            QCOMPARE(resize.dragChanged(stored, t), std::nullopt);
        QCOMPARE(resize.dragEnded(), std::optional<double>(525));
        QCOMPARE(resize.resizeStartHeight, std::nullopt);
        QCOMPARE(resize.pendingResizeHeight, std::nullopt);
    }

    void dragMovesInStepsOfEightFromWhereItBegan()
    {
        PopoverResize resize;
        double stored = 520;
        const std::optional<double> first = resize.dragChanged(stored, 20);
        QCOMPARE(first, std::optional<double>(540));
        stored = *first;
        // 545 is 5 away from the stored 540: held back.
        QCOMPARE(resize.dragChanged(stored, 25), std::nullopt);
        QCOMPARE(resize.pendingResizeHeight, std::optional<double>(545));
        // Measured from 520, where the drag began, not from 540.
        QCOMPARE(resize.resizeStartHeight, std::optional<double>(520));
        QCOMPARE(resize.dragEnded(), std::optional<double>(545));
    }

    void dragStopsAtTheLimits_data()
    {
        QTest::addColumn<double>("translation");
        QTest::addColumn<double>("height");
        QTest::newRow("up 500") << -500.0 << 360.0;
        QTest::newRow("down 500") << 500.0 << 760.0;
    }
    void dragStopsAtTheLimits()
    {
        QFETCH(double, translation);
        QFETCH(double, height);
        PopoverResize resize;
        QCOMPARE(resize.dragChanged(520, translation), std::optional<double>(height));
        QCOMPARE(resize.dragEnded(), std::optional<double>(height));
    }

    void releaseWithoutDragWritesNothing()
    {
        PopoverResize resize;
        QCOMPARE(resize.dragEnded(), std::nullopt);
    }

    void storedHeightFallsBackTo520_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<double>("height");
        QTest::newRow("absent key") << QByteArray("[General]\nother=1\n") << 520.0;
        QTest::newRow("text") << QByteArray("[General]\npopoverHeight=tall\n") << 520.0;
        QTest::newRow("nan") << QByteArray("[General]\npopoverHeight=nan\n") << 520.0;
        QTest::newRow("infinity") << QByteArray("[General]\npopoverHeight=inf\n") << 520.0;
        QTest::newRow("stored out of range stays") << QByteArray("[General]\npopoverHeight=1000\n") << 1000.0;
        QTest::newRow("fraction") << QByteArray("[General]\npopoverHeight=612.5\n") << 612.5;
        QTest::newRow("negative stays stored") << QByteArray("[General]\npopoverHeight=-40\n") << -40.0;
        // A damaged line elsewhere must not cost the user the height they chose.
        QTest::newRow("syntax error elsewhere") << QByteArray("[General]\npopoverHeight=600\n[Other\n") << 600.0;
    }
    void storedHeightFallsBackTo520()
    {
        QFETCH(QByteArray, file);
        QFETCH(double, height);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("s.ini"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(file);
        f.close();
        QCOMPARE(PopoverHeightSetting({path, QSettings::IniFormat}).read(), height);
    }

    void missingOrUnreadableFileReads520()
    {
        QTemporaryDir dir;
        QCOMPARE(PopoverHeightSetting({dir.filePath(QStringLiteral("none.ini")), QSettings::IniFormat}).read(),
                 520.0);
        // A folder where the file should be cannot be read as settings.
        QCOMPARE(PopoverHeightSetting({dir.path(), QSettings::IniFormat}).read(), 520.0);
    }

    void writingAfterADamagedFileKeepsTheHeight()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("s.ini"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[General]\npopoverHeight=600\n[Other\n");
        f.close();
        const SettingsLocation where{path, QSettings::IniFormat};
        PopoverHeightSetting(where).write(610);
        QCOMPARE(PopoverHeightSetting(where).read(), 610.0);
    }

    void writtenHeightSurvivesANewReader()
    {
        QTemporaryDir dir;
        const SettingsLocation where{dir.filePath(QStringLiteral("s.ini")), QSettings::IniFormat};
        PopoverHeightSetting(where).write(545);
        QCOMPARE(PopoverHeightSetting(where).read(), 545.0);
    }
};

QTEST_MAIN(TestPopoverResize)
#include "tst_popoverresize.moc"
