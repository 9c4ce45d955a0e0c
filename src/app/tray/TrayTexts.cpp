// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "TrayTexts.h" // relative, so that lupdate sees the class it qualifies

namespace pelmora {

QString TrayTexts::openLabel()
{
    return tr("Open Pelmora");
}

QString TrayTexts::quitLabel()
{
    return tr("Quit");
}

TrayStatus TrayTexts::status(const std::optional<StatusFigures> &figures)
{
    const QString title = StatusTitleRule::title(figures);
    if (!figures)
        return {title, tr("CPU and memory: measuring…")};
    //: The tray item's tooltip; %1 and %2 are whole percentages.
    return {title, tr("CPU %1 % · Memory %2 %").arg(figures->cpuText(), figures->memoryText())};
}

} // namespace pelmora
