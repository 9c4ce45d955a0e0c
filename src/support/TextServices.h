// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <QStringView>

// Locale-aware text operations shared by the grouping of processes and the
// application list. They follow QLocale(), the user's locale unless a default
// was set.
namespace pelmora {

// The order used for names in lists: case- and width-insensitive, digit runs
// compared by value ("App 2" before "App 10"). Negative, 0 or positive.
int localizedStandardCompare(QStringView a, QStringView b);

// Lower-case folding under the user's locale (Turkish folds "I" to "ı").
QString localizedLowercase(const QString &text);

// True when `query` occurs as one contiguous piece of `text`, ignoring case.
bool localizedCaseInsensitiveContains(QStringView text, QStringView query);

} // namespace pelmora
