// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QListView>

namespace pelmora {

// A list of painted cards, inset from the sides and transparent over its
// host's background. Its delegate gives every row the card's height plus the
// gap below it, and the last row the padding after the list instead, so the
// padding is part of what the list lays out and scrolls. The thin scroll bar
// lies over the right side inset and never narrows the rows.
class PaddedListView : public QListView {
    Q_OBJECT

public:
    explicit PaddedListView(QWidget *parent = nullptr);

    void setSideInset(int inset);

    // The card of a row: its item rectangle less the side insets and the gap
    // or padding below it, in viewport coordinates.
    QRect cardRect(const QModelIndex &index) const;
    QRect cardRect(const QRect &itemRect) const;
    void setCardHeight(int height) { m_cardHeight = height; }
    // The row whose card is under `viewportPos`; invalid over gaps and insets.
    QModelIndex cardAt(QPoint viewportPos) const;
    // True for the current row while the list has focus that was reached
    // from the keyboard: the row that Return would act on, shown as such.
    bool isKeyboardCurrent(const QModelIndex &index) const;

signals:
    // Return, Enter or Space on the current row.
    void keyActivated(const QModelIndex &index);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    int m_sideInset = 18;
    int m_cardHeight = 0;
};

} // namespace pelmora
