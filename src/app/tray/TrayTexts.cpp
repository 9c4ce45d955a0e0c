// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "TrayTexts.h" // relative, so that lupdate sees the class it qualifies

#include <QStringList>

namespace pelmora {

QString TrayTexts::openLabel()
{
    return tr("Open Pelmora");
}

QString TrayTexts::quitLabel()
{
    return tr("Quit");
}

QString TrayTexts::toolTip(const QString &title)
{
    const QStringList figures = title.split(QLatin1Char('/'));
    const auto isFigure = [](const QString &text) {
        return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
    };
    if (figures.size() != 2 || !isFigure(figures.at(0)) || !isFigure(figures.at(1)))
        return tr("CPU and memory: measuring…");
    //: The tray item's tooltip; %1 and %2 are whole percentages.
    return tr("CPU %1 % · Memory %2 %").arg(figures.at(0), figures.at(1));
}

} // namespace pelmora
