// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QScrollArea>
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

class OverlayScrollBar;

// A scrolling area whose content scrolls as a whole: as wide as the area,
// as tall as the larger of the area and the content's minimum height, over
// the backdrop without a background of its own. Its bar lies over the
// content's right side inset.
class ContentScroller : public QScrollArea {
    Q_OBJECT

public:
    explicit ContentScroller(QWidget *content, QWidget *parent = nullptr);

    OverlayScrollBar *scrollBar() const { return m_scrollBar; }

private:
    OverlayScrollBar *m_scrollBar = nullptr;
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
