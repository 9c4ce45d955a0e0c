// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QCoreApplication>
#include <QString>

namespace pelmora {

// The texts the tray item shows besides its title, in the user's language.
class TrayTexts {
    Q_DECLARE_TR_FUNCTIONS(TrayTexts)

public:
    static QString openLabel();
    static QString quitLabel();
    // What the figures of `title` are: "12/63" -> "CPU 12 % · Memory 63 %".
    // A title that is not two figures (the "--/--" placeholder) says that the
    // first reading is still to come.
    static QString toolTip(const QString &title);
};

} // namespace pelmora
