// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>

#include <chrono>

namespace pelmora {

// The window that hosts the popover's content. As a panel it is an
// undecorated popup that closes like a menu: a click outside, Escape, or a
// second click on the tray item. As a plain window (no tray, or --window) it
// is an ordinary top-level window with the program's title and icon, managed
// by the window manager and listed in the taskbar.
class PopoverWindow : public QWidget {
    Q_OBJECT
public:
    enum class Style { panel, window };

    explicit PopoverWindow(Style style, QWidget *parent = nullptr);

    // Takes ownership of `content`; the window follows its size hint.
    void setContent(QWidget *content);
    Style style() const { return m_style; }
    // Switches between panel and window; the window is hidden by the switch.
    void setStyle(Style style);

    // Opens near `anchor` (global coordinates), or near the cursor when the
    // point is invalid or far from the cursor; closes when already open.
    void toggle(QPoint anchor);
    void openAt(QPoint anchor);
    // A click on the tray item while the panel is open first closes it (the
    // press lands outside), then arrives as an activation: one this soon
    // after such a close is that same click, and opens nothing.
    void setSameClickWindow(std::chrono::milliseconds window) { m_sameClickWindow = window; }

Q_SIGNALS:
    // The window was closed (not merely hidden): by its close button, the
    // window manager, Escape or a click outside the panel.
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    Style m_style;
    QPointer<QWidget> m_content;
    QElapsedTimer m_closedByOutsideClick;
    std::chrono::milliseconds m_sameClickWindow{400};
    bool m_pressOutside = false;
};

} // namespace pelmora
