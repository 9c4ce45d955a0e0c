// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "PaddedListView.h"

#include "FocusRing.h"
#include "OverlayScrollBar.h"

#include <QKeyEvent>

namespace pelmora {

PaddedListView::PaddedListView(QWidget *parent) : QListView(parent)
{
    // The last row is taller by the padding after the list: sizes differ.
    setUniformItemSizes(false);
    setVerticalScrollMode(ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSelectionMode(NoSelection);
    setEditTriggers(NoEditTriggers);
    setFrameShape(QFrame::NoFrame);
    setMouseTracking(true);
    setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    setAttribute(Qt::WA_TranslucentBackground);
    new OverlayScrollBar(this); // the bar that shows while the list can scroll
}

void PaddedListView::setSideInset(int inset)
{
    m_sideInset = inset;
    viewport()->update();
}

QRect PaddedListView::cardRect(const QRect &itemRect) const
{
    const int left = m_sideInset;
    const int right = width() - m_sideInset;
    return QRect(left, itemRect.top(), std::max(0, right - left), m_cardHeight > 0 ? m_cardHeight : itemRect.height());
}

QRect PaddedListView::cardRect(const QModelIndex &index) const
{
    return index.isValid() ? cardRect(visualRect(index)) : QRect();
}

QModelIndex PaddedListView::cardAt(QPoint viewportPos) const
{
    const QModelIndex index = indexAt(viewportPos);
    if (!index.isValid() || !cardRect(index).contains(viewportPos))
        return {};
    return index;
}

bool PaddedListView::isKeyboardCurrent(const QModelIndex &index) const
{
    return index.isValid() && index == currentIndex() && showsFocusRing(this);
}

// Cards cast shadows past their items, and only the rows in view are painted:
// repainting the viewport is both simpler and cheap.
void PaddedListView::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QListView::currentChanged(current, previous);
    viewport()->update();
}

void PaddedListView::focusInEvent(QFocusEvent *event)
{
    QListView::focusInEvent(event);
    // QAbstractItemView does this only until a row was first made current;
    // the host clears the current row again when it opens.
    if (!currentIndex().isValid() && event->reason() != Qt::MouseFocusReason && model() && model()->rowCount() > 0)
        setCurrentIndex(model()->index(0, 0));
    viewport()->update();
}

void PaddedListView::focusOutEvent(QFocusEvent *event)
{
    QListView::focusOutEvent(event);
    viewport()->update();
}

void PaddedListView::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (currentIndex().isValid()) {
            emit keyActivated(currentIndex());
            return;
        }
        break;
    default:
        break;
    }
    QListView::keyPressEvent(event);
}

} // namespace pelmora
