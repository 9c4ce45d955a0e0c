// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "PaddedListView.h"

#include <QKeyEvent>
#include <QScrollBar>

namespace pelmora {

PaddedListView::PaddedListView(QWidget *parent) : QListView(parent)
{
    setUniformItemSizes(true);
    setVerticalScrollMode(ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setSelectionMode(NoSelection);
    setEditTriggers(NoEditTriggers);
    setFrameShape(QFrame::NoFrame);
    setMouseTracking(true);
    setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    setAttribute(Qt::WA_TranslucentBackground);
    verticalScrollBar()->setSingleStep(20);
    verticalScrollBar()->setStyleSheet(QStringLiteral(
        "QScrollBar:vertical { width: 10px; background: transparent; margin: 2px 2px 2px 0; }"
        "QScrollBar::handle:vertical { background: rgba(0, 0, 0, 64); border-radius: 3px; min-height: 24px; }"
        "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
        "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: transparent; }"));
}

void PaddedListView::setSideInset(int inset)
{
    m_sideInset = inset;
    viewport()->update();
}

void PaddedListView::setBottomPadding(int padding)
{
    m_bottomPadding = padding;
    updateGeometries();
}

QRect PaddedListView::cardRect(const QRect &itemRect) const
{
    // Insets are measured from the list's own edges, not the viewport's, so
    // a scroll bar appearing does not move the cards.
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
    return index.isValid() && index == currentIndex() && hasFocus()
        && window()->testAttribute(Qt::WA_KeyboardFocusChange);
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
    viewport()->update();
}

void PaddedListView::focusOutEvent(QFocusEvent *event)
{
    QListView::focusOutEvent(event);
    viewport()->update();
}

void PaddedListView::updateGeometries()
{
    QListView::updateGeometries();
    // Room after the last row, as if the content were padded at the bottom.
    if (m_bottomPadding > 0 && model() && model()->rowCount(rootIndex()) > 0) {
        const int padded = contentsSize().height() + m_bottomPadding;
        verticalScrollBar()->setRange(0, std::max(0, padded - viewport()->height()));
    }
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
