// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "views/PopoverFixture.h"

#include "app/Translations.h"
#include "views/MetricsSectionView.h"
#include "views/PopoverHeader.h"
#include "views/PopoverView.h"
#include "views/SummaryMetricView.h"
#include "views/SymbolButton.h"

#include <QtWidgets>
#include <QTest>

using namespace pelmora;

// Runs under LANG=de_DE.UTF-8 (set by CTest), which Qt reads itself.
class TestTranslations : public QObject {
    Q_OBJECT

private slots:
    void textsAppearInGerman()
    {
        QVERIFY2(QLocale().language() == QLocale::German, "run with LANG=de_DE.UTF-8");
        QVERIFY(installTranslations(*qApp) >= 1);
        PopoverFixture fixture;
        PopoverView view(*fixture.store, fixture.settings());
        QStringList header;
        for (const QLabel *label : view.header()->findChildren<QLabel *>())
            header << label->text();
        QVERIFY2(header.contains(u"Systemmonitor"), qPrintable(header.join(u'|')));
        QCOMPARE(view.refreshButton()->text(), u"Aktualisieren");
        QCOMPARE(view.quitButton()->text(), u"Beenden");
        QCOMPARE(view.section()->emptyLabel()->text(), u"Keine Prozessdaten");
        // Figures follow the locale: a decimal comma.
        QVERIFY(view.header()->memoryTile()->detail().value_or(QString()).contains(u"10,3"));
    }

    // lupdate over the sources into a copy of the catalogue: every text tr()
    // marks must have its German, and nothing may be left over.
    void catalogueCoversEverySourceText()
    {
        QTemporaryDir dir;
        const QString copy = dir.filePath(u"pelmora_de.ts"_qs);
        QVERIFY(QFile::copy(QStringLiteral(PELMORA_SOURCE_DIR "/translations/pelmora_de.ts"), copy));
        QVERIFY(QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner));
        QCOMPARE(QProcess::execute(QStringLiteral(PELMORA_LUPDATE), {QStringLiteral(PELMORA_SOURCE_DIR "/src/views"),
                 QStringLiteral(PELMORA_SOURCE_DIR "/src/app"), u"-locations"_qs, u"none"_qs, u"-silent"_qs, u"-ts"_qs, copy}), 0);
        QFile file(copy);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString ts = QString::fromUtf8(file.readAll());
        // lupdate marks new texts "unfinished" and removed ones "vanished" or "obsolete".
        QStringList untranslated;
        for (const auto &m : QRegularExpression(u"<source>([^<]*)</source>(<comment>[^<]*</comment>|\\s)*"
                                                "<translation type=\"(\\w+)\""_qs).globalMatch(ts))
            untranslated << m.captured(1) + u" ("_qs + m.captured(3) + u')';
        QVERIFY2(untranslated.isEmpty(), qPrintable(untranslated.join(u'\n')));
        QVERIFY(ts.contains(u"<translation>Beenden</translation>"));
    }
};

QTEST_MAIN(TestTranslations)
#include "tst_translations.moc"
