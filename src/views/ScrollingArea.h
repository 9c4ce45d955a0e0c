// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QWidget>

namespace pelmora {

// The backdrop of the popover's scrolling content: the control background
// at 0.45 over the window, and the shadows of the cards inside it.
class ScrollingArea : public QWidget {
    Q_OBJECT

public:
    explicit ScrollingArea(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

// A one-unit horizontal rule.
class Divider : public QWidget {
    Q_OBJECT

public:
    explicit Divider(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace pelmora
