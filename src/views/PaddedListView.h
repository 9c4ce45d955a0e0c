// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QListView>

namespace pelmora {

// The scrolling list under the popover's pinned header: rows of one height
// (so layout and painting cost only the rows in view), inset from the sides,
// with room after the last row, transparent over its host's background. The
// scroll bar is thin and sits inside the side inset, so rows line up with the
// cards above the list whether it shows or not.
class PaddedListView : public QListView {
    Q_OBJECT

public:
    explicit PaddedListView(QWidget *parent = nullptr);

    void setSideInset(int inset);
    int sideInset() const { return m_sideInset; }
    void setBottomPadding(int padding);

    // The card of a row: its item rectangle less the side insets and the gap
    // below it, in viewport coordinates.
    QRect cardRect(const QModelIndex &index) const;
    QRect cardRect(const QRect &itemRect) const;
    void setCardHeight(int height) { m_cardHeight = height; }
    int cardHeight() const { return m_cardHeight; }
    // The row whose card is under `viewportPos`; invalid over gaps and insets.
    QModelIndex cardAt(QPoint viewportPos) const;
    // True for the current row while the list has focus that was reached
    // from the keyboard: the row that Return would act on, shown as such.
    bool isKeyboardCurrent(const QModelIndex &index) const;

signals:
    // Return, Enter or Space on the current row.
    void keyActivated(const QModelIndex &index);

protected:
    void updateGeometries() override;
    void keyPressEvent(QKeyEvent *event) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    int m_sideInset = 18;
    int m_bottomPadding = 0;
    int m_cardHeight = 0;
};

} // namespace pelmora
