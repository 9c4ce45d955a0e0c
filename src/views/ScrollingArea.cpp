// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ScrollingArea.h"

#include "CardWidget.h"
#include "Theme.h"

#include <QPainter>

namespace pelmora {

ScrollingArea::ScrollingArea(QWidget *parent) : QWidget(parent)
{
    makeShadowHost(this);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void ScrollingArea::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Theme::withOpacity(Theme::controlBackground(), 0.45));
    paintCardShadows(painter, this);
}

Divider::Divider(QWidget *parent) : QWidget(parent)
{
    setFixedHeight(1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void Divider::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Theme::separator());
}

} // namespace pelmora
