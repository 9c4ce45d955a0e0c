// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

class QCoreApplication;

namespace pelmora {

// Installs the catalogues of the user's interface language (QLocale(), so
// LANGUAGE, LC_ALL, LC_MESSAGES and LANG as usual): Qt's own qtbase catalogue
// when the system has it, and Pelmora's, which is built into the program.
// Texts without a translation stay English. Returns how many were installed.
int installTranslations(QCoreApplication &app);

} // namespace pelmora
