// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "stores/StatusTitleRule.h"

#include <QCoreApplication>
#include <QString>

#include <optional>

namespace pelmora {

// What the item shows of the machine's figures, both made from the same
// ones: the title ("12/63"), drawn in the icon or beside it, and the tooltip.
struct TrayStatus {
    QString title;
    QString toolTip;
    friend bool operator==(const TrayStatus &, const TrayStatus &) = default;
};

// The texts of the tray item, in the user's language.
class TrayTexts {
    Q_DECLARE_TR_FUNCTIONS(TrayTexts)

public:
    static QString openLabel();
    static QString quitLabel();
    // "12/63" with "CPU 12 % · Memory 63 %"; before the first figures "--/--"
    // with a tooltip that says the first reading is still to come.
    static TrayStatus status(const std::optional<StatusFigures> &figures);
};

} // namespace pelmora
