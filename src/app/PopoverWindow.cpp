// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "PopoverWindow.h"

#include "AppIdentity.h"
#include "PopoverPlacement.h"
#include "views/PopoverView.h"

#include <QCloseEvent>
#include <QCursor>
#include <QIcon>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QVBoxLayout>

namespace pelmora {
namespace {

// A host's click point this far from the pointer is not where the item is.
constexpr int farFromPointer = 96;

Qt::WindowFlags flagsFor(PopoverWindow::Style style)
{
    return style == PopoverWindow::Style::panel ? Qt::Popup | Qt::FramelessWindowHint : Qt::Window;
}

// The installed theme icon, else the copy built into the program (a build
// tree, or a prefix the icon theme does not search).
QIcon applicationIcon()
{
    QIcon builtIn;
    for (int size : {16, 32, 48, 64, 128})
        builtIn.addFile(QStringLiteral(":/pelmora/icons/%1x%1/apps/org.pelmora.Pelmora.png").arg(size), QSize(size, size));
    return QIcon::fromTheme(QLatin1String(appId), builtIn);
}

} // namespace

PopoverWindow::PopoverWindow(Style style, QWidget *parent)
    : QWidget(parent, flagsFor(style))
    , m_style(style)
{
    //: The title of the panel when it is shown as a window: the program's name.
    setWindowTitle(tr("Pelmora"));
    setWindowIcon(applicationIcon());
    setAttribute(Qt::WA_DeleteOnClose, false);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void PopoverWindow::setStyle(Style style)
{
    if (style == m_style)
        return;
    m_style = style;
    hide();
    setWindowFlags(flagsFor(style));
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
    if (m_closedByOutsideClick.isValid() && m_closedByOutsideClick.elapsed() < m_sameClickWindow.count()) {
        m_closedByOutsideClick.invalidate();
        return;
    }
    openAt(anchor);
}

void PopoverWindow::openAt(QPoint anchor)
{
    const QPoint pointer = QCursor::pos();
    // Hosts report the click in global coordinates, but not always right:
    // Plasma's panel under a window manager other than KWin may give the y
    // inside the panel's own window. A click on the item has the pointer on
    // it, so a point far from the pointer is taken for such a slip.
    if (!anchor.isNull() && (anchor.x() < 0 || (anchor - pointer).manhattanLength() > farFromPointer))
        anchor = QPoint();
    const QPoint point = anchor.isNull() ? pointer : anchor;
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

void PopoverWindow::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    if (event->isAccepted())
        Q_EMIT closed();
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
