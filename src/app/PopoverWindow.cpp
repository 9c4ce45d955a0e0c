// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "PopoverWindow.h"

#include "PopoverPlacement.h"
#include "views/PopoverView.h"

#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QVBoxLayout>

namespace pelmora {
namespace {

// A click on the tray item while the popup is open first closes the popup
// (the press lands outside it), then arrives at the item as an activation.
// An activation this soon after such a close is that same click.
constexpr qint64 sameClickWindowMs = 400;

} // namespace

PopoverWindow::PopoverWindow(Style style, QWidget *parent)
    : QWidget(parent, style == Style::panel ? Qt::Popup | Qt::FramelessWindowHint : Qt::Window)
    , m_style(style)
{
    setWindowTitle(QStringLiteral("Pelmora"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void PopoverWindow::setContent(QWidget *content)
{
    if (m_content)
        m_content->deleteLater();
    m_content = content;
    layout()->addWidget(content);
}

void PopoverWindow::toggle(QPoint anchor)
{
    if (isVisible()) {
        close();
        return;
    }
    if (m_closedByOutsideClick.isValid() && m_closedByOutsideClick.elapsed() < sameClickWindowMs) {
        m_closedByOutsideClick.invalidate();
        return;
    }
    openAt(anchor);
}

void PopoverWindow::openAt(QPoint anchor)
{
    if (!anchor.isNull() && anchor.x() < 0)
        anchor = QPoint();
    const QPoint point = anchor.isNull() ? QCursor::pos() : anchor;
    QScreen *screen = QGuiApplication::screenAt(point);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    // At any scale the panel fits the screen's free area: what is shown is
    // limited, what is stored is not.
    if (auto *view = qobject_cast<PopoverView *>(m_content.data()); view && screen)
        view->setHeightLimit(screen->availableGeometry().height());
    adjustSize();
    if (screen && m_style == Style::panel)
        move(popoverGeometry(size(), point, screen->availableGeometry(), screen->geometry()).topLeft());
    else if (screen && !isVisible())
        move(screen->availableGeometry().center() - rect().center());
    show();
    raise();
    activateWindow();
}

void PopoverWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && m_style == Style::panel) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void PopoverWindow::mousePressEvent(QMouseEvent *event)
{
    // A popup receives the press that closes it; remember whether it was outside.
    m_pressOutside = !rect().contains(event->position().toPoint());
    QWidget::mousePressEvent(event);
}

void PopoverWindow::hideEvent(QHideEvent *event)
{
    if (m_pressOutside)
        m_closedByOutsideClick.start();
    m_pressOutside = false;
    QWidget::hideEvent(event);
}

} // namespace pelmora
