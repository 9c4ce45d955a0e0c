// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "TextServices.h"

#include <QCollator>
#include <QLocale>

namespace pelmora {
namespace {

QCollator makeNameCollator()
{
    QLocale locale;
    // A collator for the C locale silently ignores numeric mode; use a
    // neutral real locale so digit runs still compare by value.
    if (locale.language() == QLocale::C)
        locale = QLocale(QLocale::English, QLocale::UnitedStates);
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(true);
    collator.setIgnorePunctuation(false);
    return collator;
}

const QCollator &nameCollator()
{
    // Built once; QCollator::compare is const and used on the main thread only.
    static const QCollator collator = makeNameCollator();
    return collator;
}

} // namespace

int localizedStandardCompare(QStringView a, QStringView b)
{
    return nameCollator().compare(a, b);
}

QString localizedLowercase(const QString &text)
{
    return QLocale().toLower(text);
}

bool localizedCaseInsensitiveContains(QStringView text, QStringView query)
{
    return text.contains(query, Qt::CaseInsensitive);
}

} // namespace pelmora
