// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "views/PopoverFixture.h"

#include "app/PopoverWindow.h"
#include "app/Translations.h"
#include "testsupport/FixtureTree.h"
#include "views/AppActionMenuPresenter.h"
#include "views/FilterBar.h"
#include "views/MetricColumnHeaderView.h"
#include "views/MetricsSectionView.h"
#include "views/PopoverHeader.h"
#include "views/PopoverView.h"
#include "views/QuitAnswerBar.h"
#include "views/SummaryMetricView.h"

#include <QTest>
#include <QtWidgets>

using namespace pelmora;
using namespace Qt::StringLiterals;

namespace {

// Every text the popover shows or hands to screen readers, by where it is:
// widget texts, tooltips and names (a process list's widgets are there
// whether one is shown or not), and the painted ones (tiles, column titles,
// menu titles, row descriptions).
QMap<QString, QString> shownTexts(const PopoverView &view)
{
    QMap<QString, QString> texts;
    const auto note = [&](const QString &where, const QString &text) {
        if (!text.isEmpty())
            texts.insert(where, text);
    };
    for (QWidget *widget : view.findChildren<QWidget *>()) {
        QString where;
        for (const QObject *o = widget; o && o != &view; o = o->parent())
            where.prepend(u'/' + QString::fromLatin1(o->metaObject()->className()) + u'['
                          + QString::number(o->parent()->children().indexOf(o)) + u']');
        if (auto *label = qobject_cast<QLabel *>(widget))
            note(where + u" text"_s, label->text());
        if (auto *button = qobject_cast<QAbstractButton *>(widget))
            note(where + u" text"_s, button->text());
        if (auto *field = qobject_cast<QLineEdit *>(widget))
            note(where + u" placeholder"_s, field->placeholderText());
        note(where + u" tooltip"_s, widget->toolTip());
        note(where + u" name"_s, widget->accessibleName());
    }
    auto *header = part<PopoverHeader>(view, "header");
    note(u"cpu tile"_s, header->cpuTile()->title());
    note(u"memory tile"_s, header->memoryTile()->title());
    for (AppMetricKind kind : {AppMetricKind::app, AppMetricKind::cpu, AppMetricKind::memory}) {
        note(u"column title "_s + QString::number(int(kind)), MetricColumnHeaderView::title(kind));
        note(u"column tooltip "_s + QString::number(int(kind)), SortHitArea::tooltip(kind));
    }
    auto *applications = part<MetricsSectionView>(view, "applications");
    const QModelIndex row = applications->model().index(0);
    note(u"row tooltip"_s, row.data(Qt::ToolTipRole).toString());
    note(u"row description"_s, row.data(Qt::AccessibleDescriptionRole).toString());
    note(u"menu show"_s, AppActionMenuPresenter::showProcessesTitle(u"Mail"_s));
    note(u"menu quit"_s, AppActionMenuPresenter::quitTitle(u"Mail"_s));
    for (const QuitOutcome::Reason reason : {QuitOutcome::Reason::otherUsers, QuitOutcome::Reason::windowSystemSilent,
                                             QuitOutcome::Reason::forceOnly, QuitOutcome::Reason::unseenWindows})
        note(u"quit answer "_s + QString::number(int(reason)),
             QuitAnswerBar::answerText({u"mail"_s, u"Mail"_s, QuitOutcome::Kind::noRoute, reason, true}));
    note(u"quit end"_s, QuitAnswerBar::endTitle(u"Mail"_s));
    note(u"quit confirmation"_s, QuitAnswerBar::confirmationText(u"Mail"_s));
    return texts;
}

} // namespace

// Runs under LANG=de_DE.UTF-8 (set by CTest), which Qt reads itself.
class TestTranslations : public QObject {
    Q_OBJECT

private slots:
    // Built once before the German catalogue is installed and once after:
    // every text changes, except those that German writes the same way.
    void popoverIsGermanThroughout()
    {
        QVERIFY2(QLocale().language() == QLocale::German, "run with LANG=de_DE.UTF-8");
        PopoverFixture fixture;
        const QMap<QString, QString> english = shownTexts(PopoverView(*fixture.store, fixture.settings()));
        // Qt's own catalogue, where Qt looks for it, comes with qt6-translations-l10n.
        const bool qtCatalogue = QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + u"/qtbase_de.qm"_s);
        QCOMPARE(installTranslations(*qApp), qtCatalogue ? 2 : 1);
        PopoverView view(*fixture.store, fixture.settings());
        const QMap<QString, QString> german = shownTexts(view);
        // The panel's title is the program's name, as its window's title says.
        QCOMPARE(part<PopoverHeader>(view, "header")->titleLabel()->text(),
                 PopoverWindow(PopoverWindow::Style::window).windowTitle());
        // Figures follow the locale: a decimal comma.
        QVERIFY(part<PopoverHeader>(view, "header")->memoryTile()->detail().value_or(QString()).contains(u"10,3"));
        // The search field's menu is Qt's: German with Qt's catalogue.
        std::unique_ptr<QMenu> menu(part<FilterBar>(view, "filterBar")->field()->createStandardContextMenu());
        QStringList items; // without mnemonics and shortcuts
        for (const QAction *action : menu->actions())
            items << action->text().section(u'\t', 0, 0).remove(u'&');
        if (qtCatalogue)
            QVERIFY2(items.contains(u"Alles auswählen"_s), qPrintable(items.join(u", "_s)));
        QCOMPARE(german.keys(), english.keys());
        QVERIFY(english.size() > 30);
        const QStringList sameInGerman{u"Pelmora"_s, u"CPU"_s, u"%CPU"_s};
        QStringList untranslated;
        for (auto it = english.cbegin(); it != english.cend(); ++it) {
            if (german.value(it.key()) == it.value() && !sameInGerman.contains(it.value()))
                untranslated << it.key() + u": "_s + it.value();
        }
        QVERIFY2(untranslated.isEmpty(), qPrintable(untranslated.join(u'\n')));
        // One word for memory, in the tile, the list and the process list.
        QCOMPARE(german.value(u"memory tile"_s), u"Speicher");
        QCOMPARE(german.value(u"column title 2"_s), u"Speicher");
        QCOMPARE(german.value(u"row description"_s).count(u"Speicher"), 1);
    }

    // lupdate over the whole source tree, into a copy of the catalogue, as
    // the update_translations target runs it: the copy must come out with
    // the same messages, each with its German.
    void catalogueMatchesTheSources()
    {
        const QString catalogue = QStringLiteral(PELMORA_SOURCE_DIR "/translations/pelmora_de.ts");
        QTemporaryDir dir;
        const QString copy = dir.filePath(u"pelmora_de.ts"_s);
        QVERIFY(QFile::copy(catalogue, copy));
        QVERIFY(QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner));
        QProcess lupdate;
        lupdate.start(QStringLiteral(PELMORA_LUPDATE),
                      {QStringLiteral(PELMORA_SOURCE_DIR "/src"), u"-no-obsolete"_s, u"-locations"_s, u"none"_s,
                       u"-silent"_s, u"-ts"_s, copy});
        QVERIFY(lupdate.waitForFinished(60000));
        QVERIFY2(lupdate.exitCode() == 0, lupdate.readAllStandardError().constData());

        const QStringList stored = QString::fromUtf8(fileContents(catalogue)).split(u'\n'),
                          updated = QString::fromUtf8(fileContents(copy)).split(u'\n');
        QVERIFY(stored.size() > 100);
        // A text new in the sources, or gone from them, changes what lupdate writes.
        QStringList faults;
        for (const QString &line : updated)
            if (!stored.contains(line))
                faults << u"new: "_s + line.trimmed();
        for (const QString &line : stored)
            if (!updated.contains(line))
                faults << u"gone from the sources: "_s + line.trimmed();
        // Every message has its German: no unfinished, vanished or empty one.
        const QRegularExpression unfinished(
            uR"(<translation type=|<translation></translation>|<translation/>|<numerusform></numerusform>)"_s);
        for (qsizetype i = 0; i < stored.size(); ++i)
            if (stored.at(i).contains(unfinished))
                faults << u"not translated: "_s + stored.value(i - 1).trimmed() + u' ' + stored.at(i).trimmed();
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
    }
};

QTEST_MAIN(TestTranslations)
#include "tst_translations.moc"
