// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "PanelPlacer.h"
#include "PopoverPlacement.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>

#include <chrono>
#include <memory>

namespace pelmora {

// The window that hosts the popover's content. As a panel it is undecorated
// and closes like a menu: a click outside, Escape, or a second click on the
// tray item. As a plain window (no tray, or --window) it is an ordinary
// top-level window with the program's title and icon, managed by the window
// manager and listed in the taskbar.
class PopoverWindow : public QWidget {
    Q_OBJECT
public:
    enum class Style { panel, window };
    // How a panel holds the keyboard. On X11 a popup grabs pointer and
    // keyboard. A Wayland compositor gives the keyboard only to a window it
    // focuses, and XWayland's compositor never focuses an X11 popup: there
    // the panel is a window that takes the focus and closes when it loses it.
    enum class PanelKind { popup, focusWindow };

    // The kind and the placer this session calls for.
    explicit PopoverWindow(Style style, QWidget *parent = nullptr);
    PopoverWindow(Style style, PanelKind kind, std::unique_ptr<PanelPlacer> placer, QWidget *parent = nullptr);
    ~PopoverWindow() override;

    static PanelKind sessionPanelKind();

    // Takes ownership of `content`; the window follows its size hint.
    void setContent(QWidget *content);
    Style style() const { return m_style; }
    PanelKind panelKind() const { return m_kind; }
    const PanelPlacer &placer() const { return *m_placer; }
    // Switches between panel and window; the window is hidden by the switch.
    void setStyle(Style style);

    // Opens by the item (a panel; a window opens in the middle of the free
    // area, or is raised), or closes when already open.
    void toggle(const ItemAnchor &anchor);
    void openAt(const ItemAnchor &anchor);
    // The anchor the panel was last opened at.
    const ItemAnchor &anchor() const { return m_anchor; }

    // The content's height changed: the window follows, a panel stays by its item.
    void followContentSize();

    void setVisible(bool visible) override;
    // A click on the tray item while the panel is open first closes it (the
    // press lands outside), then arrives as an activation: one this soon
    // after such a close is that same click, and opens nothing.
    void setSameClickWindow(std::chrono::milliseconds window) { m_sameClickWindow = window; }

Q_SIGNALS:
    // The window was closed (not merely hidden): by its close button, the
    // window manager, Escape, a click outside the panel or its focus going
    // elsewhere.
    void closed();

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    QScreen *anchorScreen() const;
    void limitHeight(const QRect &area);
    void closeIfFocusLeft();
    void applyFlags();

    Style m_style;
    PanelKind m_kind;
    std::unique_ptr<PanelPlacer> m_placer;
    QPointer<QWidget> m_content;
    ItemAnchor m_anchor;
    QElapsedTimer m_closedByOutsideClick;
    std::chrono::milliseconds m_sameClickWindow{400};
    bool m_pressOutside = false;
    bool m_wasActive = false; // since it was last shown
};

} // namespace pelmora
