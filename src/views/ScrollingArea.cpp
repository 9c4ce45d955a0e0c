// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ScrollingArea.h"

#include "CardWidget.h"
#include "OverlayScrollBar.h"
#include "Theme.h"

#include <QPainter>

namespace pelmora {

ScrollingArea::ScrollingArea(QWidget *parent) : QWidget(parent)
{
    makeShadowHost(this);
    // The area takes what the fixed rows leave, down to nothing: a short
    // popover shows fewer rows, never a squeezed header or footer.
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
}

void ScrollingArea::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Theme::withOpacity(Theme::controlBackground(), 0.45));
    paintCardShadows(painter, this);
}

ContentScroller::ContentScroller(QWidget *content, QWidget *parent) : QScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWidgetResizable(true);
    // The content's own controls take focus; the area scrolls to them.
    setFocusPolicy(Qt::NoFocus);
    setWidget(content);
    // QScrollArea fills the content's background; the backdrop shows instead.
    content->setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    setAutoFillBackground(false);
    m_scrollBar = new OverlayScrollBar(this);
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
