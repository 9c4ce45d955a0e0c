// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace pelmora {
namespace {

bool install(QCoreApplication &app, const QString &name, const QString &directory)
{
    auto *translator = new QTranslator(&app);
    if (translator->load(QLocale(), name, QStringLiteral("_"), directory)) {
        QCoreApplication::installTranslator(translator);
        return true;
    }
    delete translator;
    return false;
}

} // namespace

int installTranslations(QCoreApplication &app)
{
    int installed = 0;
    // Debian ships Qt's catalogues separately (qt6-translations-l10n).
    installed += install(app, QStringLiteral("qtbase"), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    installed += install(app, QStringLiteral("pelmora"), QStringLiteral(":/i18n"));
    return installed;
}

} // namespace pelmora
