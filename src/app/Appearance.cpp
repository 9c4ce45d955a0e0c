// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Appearance.h"

#include "views/Theme.h"

#include <QApplication>
#include <QPalette>
#include <QStyleFactory>

namespace pelmora {

void applyLightAppearance(QApplication &app)
{
    if (QStyle *fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        app.setStyle(fusion);

    QPalette p;
    const QColor text = Theme::primaryLabel();
    const QColor secondary = Theme::secondaryLabel();
    p.setColor(QPalette::Window, Theme::windowBackground());
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, Theme::textBackground());
    p.setColor(QPalette::AlternateBase, Theme::controlBackground());
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, Theme::controlBackground());
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, Qt::white);
    p.setColor(QPalette::Highlight, Theme::systemBlue());
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::ToolTipBase, Theme::textBackground());
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, Theme::placeholderText());
    p.setColor(QPalette::Link, Theme::systemBlue());
    p.setColor(QPalette::Light, Qt::white);
    p.setColor(QPalette::Midlight, Theme::windowBackground().lighter(105));
    p.setColor(QPalette::Mid, Theme::windowBackground().darker(130));
    p.setColor(QPalette::Dark, Theme::windowBackground().darker(160));
    p.setColor(QPalette::Shadow, QColor(0, 0, 0, 60));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, secondary);
    app.setPalette(p);

    // Nothing in the popover animates, including the menus and tooltips it opens.
    for (Qt::UIEffect effect : {Qt::UI_AnimateMenu, Qt::UI_FadeMenu, Qt::UI_AnimateCombo, Qt::UI_AnimateTooltip,
                                Qt::UI_FadeTooltip, Qt::UI_AnimateToolBox})
        QApplication::setEffectEnabled(effect, false);
}

} // namespace pelmora
