#include "views/PopoverFixture.h"

#include "app/Translations.h"
#include "views/AppActionMenuPresenter.h"
#include "views/AppListModel.h"
#include "views/FilterBar.h"
#include "views/MetricColumnHeaderView.h"
#include "views/MetricsSectionView.h"
#include "views/PaddedListView.h"
#include "views/PopoverHeader.h"
#include "views/PopoverView.h"
#include "views/ProcessListView.h"
#include "views/SummaryMetricView.h"
#include "views/SymbolButton.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QTest>
#include <QXmlStreamReader>

using namespace pelmora;

namespace {

QStringList labelTexts(const QWidget *widget)
{
    QStringList texts;
    for (const QLabel *label : widget->findChildren<QLabel *>())
        texts << label->text();
    return texts;
}

// "context: source" of every message that is not (or no longer) translated.
QStringList untranslatedMessages(const QString &tsPath)
{
    QFile file(tsPath);
    if (!file.open(QIODevice::ReadOnly))
        return {QStringLiteral("cannot read ") + tsPath};
    QStringList found;
    QXmlStreamReader xml(&file);
    QString context;
    QString source;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"name") {
            context = xml.readElementText();
        } else if (xml.name() == u"source") {
            source = xml.readElementText();
        } else if (xml.name() == u"translation") {
            const QString type = xml.attributes().value(QLatin1String("type")).toString();
            if (!type.isEmpty())
                found << context + QStringLiteral(": ") + source + QStringLiteral(" (") + type + u')';
        }
    }
    if (xml.hasError())
        found << xml.errorString();
    return found;
}

} // namespace

// Runs with LANG=de_DE.UTF-8 (set by CTest): Qt reads the variable itself, so
// no installed glibc locale is needed.
class TestTranslations : public QObject {
    Q_OBJECT

    std::unique_ptr<PopoverFixture> fixture;
    std::unique_ptr<PopoverView> view;

private slots:
    void initTestCase()
    {
        QVERIFY2(QLocale().language() == QLocale::German, "run with LANG=de_DE.UTF-8");
        QVERIFY(installTranslations(*qApp) >= 1);
        fixture = std::make_unique<PopoverFixture>();
        view = std::make_unique<PopoverView>(*fixture->store, fixture->settings());
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    }

    void cleanupTestCase()
    {
        view.reset();
        fixture.reset();
    }

    void localisableTextsAreGerman()
    {
        const QStringList header = labelTexts(view->header());
        QVERIFY2(header.contains(u"Systemmonitor"), qPrintable(header.join(u'|')));
        QVERIFY(header.contains(u"tz9-Pelmora")); // a name, the same in German
        QCOMPARE(view->header()->closeButton()->toolTip(), u"Schließen");
        QCOMPARE(view->filterBar()->field()->placeholderText(), u"Filtern");
        QCOMPARE(view->refreshButton()->text(), u"Aktualisieren");
        QCOMPARE(view->quitButton()->text(), u"Beenden");
        QCOMPARE(view->section()->emptyLabel()->text(), u"Keine Prozessdaten");
        QCOMPARE(view->processList()->emptyLabel()->text(), u"Keine passenden Prozesse");
        QCOMPARE(view->processList()->header()->backButton()->toolTip(), u"Zurück");

        const QModelIndex row = view->section()->listView()->model()->index(0, 0);
        const QString name = row.data(Qt::DisplayRole).toString();
        QCOMPARE(row.data(Qt::ToolTipRole).toString(), QStringLiteral("Aktionen für %1 anzeigen").arg(name));
        QCOMPARE(row.data(Qt::AccessibleTextRole).toString(), QStringLiteral("Aktionen für %1 anzeigen").arg(name));

        // Figures follow the locale too: a decimal comma.
        QVERIFY2(view->header()->memoryTile()->detail().value_or(QString()).contains(u"10,3"),
                 qPrintable(view->header()->memoryTile()->detail().value_or(QString())));
    }

    void textsShownAsWrittenStayEnglish()
    {
        QCOMPARE(view->columnHeader()->hitArea(AppMetricKind::app)->toolTip(), u"Sort by app");
        QCOMPARE(view->columnHeader()->hitArea(AppMetricKind::cpu)->toolTip(), u"Sort by CPU");
        QCOMPARE(view->columnHeader()->hitArea(AppMetricKind::memory)->toolTip(), u"Sort by memory");
        QCOMPARE(view->header()->cpuTile()->title(), u"CPU");
        QCOMPARE(view->header()->memoryTile()->title(), u"Memory");
        QCOMPARE(AppActionMenuPresenter::showProcessesTitle(QStringLiteral("Mail")), u"Show all Mail processes");
        QCOMPARE(AppActionMenuPresenter::quitTitle(QStringLiteral("Mail")), u"Quit Mail");
        QCOMPARE(view->section()->listView()->model()->index(0, 0).data(Qt::DisplayRole).toString(),
                 view->section()->model().items().first().name);
    }

    // lupdate over the sources, into a copy of the catalogue: every text
    // that tr() marks must have its German, and nothing may be left over.
    void catalogueCoversEverySourceText()
    {
        const QString committed = QStringLiteral(PELMORA_SOURCE_DIR "/translations/pelmora_de.ts");
        QTemporaryDir dir;
        const QString copy = dir.filePath(QStringLiteral("pelmora_de.ts"));
        QVERIFY(QFile::copy(committed, copy));
        QVERIFY(QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner));
        QProcess lupdate;
        lupdate.start(QStringLiteral(PELMORA_LUPDATE),
                      {QStringLiteral(PELMORA_SOURCE_DIR "/src/views"), QStringLiteral(PELMORA_SOURCE_DIR "/src/app"),
                       QStringLiteral("-locations"), QStringLiteral("none"), QStringLiteral("-silent"),
                       QStringLiteral("-ts"), copy});
        QVERIFY(lupdate.waitForFinished(60000));
        QVERIFY2(lupdate.exitCode() == 0, lupdate.readAllStandardError().constData());
        const QStringList untranslated = untranslatedMessages(copy);
        QVERIFY2(untranslated.isEmpty(), qPrintable(untranslated.join(u'\n')));
    }
};

QTEST_MAIN(TestTranslations)
#include "tst_translations.moc"
