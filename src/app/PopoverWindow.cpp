// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "PopoverWindow.h"

#include "AppIdentity.h"
#include "views/PopoverView.h"
#include "views/ResizeHandle.h"

#include <QApplication>
#include <QCloseEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

namespace pelmora {
namespace {

Qt::WindowFlags flagsFor(PopoverWindow::Style style, PopoverWindow::PanelKind kind)
{
    if (style == PopoverWindow::Style::window)
        return Qt::Window;
    // A tool window stays out of task bars and window switchers where the
    // desktop lets it; on X11 it is managed, so XWayland's compositor focuses it.
    return kind == PopoverWindow::PanelKind::popup ? Qt::Popup | Qt::FramelessWindowHint
                                                   : Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint;
}

// The installed theme icon, else the copy built into the program (a build
// tree, or a prefix the icon theme does not search).
QIcon applicationIcon()
{
    QIcon builtIn;
    for (int size : {16, 32, 48, 64, 128})
        builtIn.addFile(QStringLiteral(":/pelmora/icons/%1x%1/apps/org.pelmora.Pelmora.png").arg(size),
                        QSize(size, size));
    return QIcon::fromTheme(QLatin1String(appId), builtIn);
}

} // namespace

PopoverWindow::PopoverWindow(Style style, QWidget *parent)
    : PopoverWindow(style, sessionPanelKind(), makePanelPlacer(), parent)
{
}

PopoverWindow::PopoverWindow(Style style, PanelKind kind, std::unique_ptr<PanelPlacer> placer, QWidget *parent)
    : QWidget(parent, flagsFor(style, kind)), m_style(style), m_kind(kind), m_placer(std::move(placer))
{
    applyFlags();
    setWindowIcon(applicationIcon());
    setAttribute(Qt::WA_DeleteOnClose, false);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

PopoverWindow::~PopoverWindow() = default;

PopoverWindow::PanelKind PopoverWindow::sessionPanelKind()
{
    const bool waylandSession = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        || qEnvironmentVariable("XDG_SESSION_TYPE") == u"wayland";
    const QString platform = QGuiApplication::platformName();
    return platform == u"wayland" || (platform == u"xcb" && waylandSession) ? PanelKind::focusWindow : PanelKind::popup;
}

void PopoverWindow::applyFlags()
{
    // The panel's own title tells it apart from the window, also to a
    // compositor's rules (see SwayPlacer).
    setWindowTitle(m_style == Style::window
                       ? tr("Pelmora")
                       //: The title of the panel that the tray item opens (seen by screen readers and window lists).
                       : tr("Pelmora panel"));
}

void PopoverWindow::setStyle(Style style)
{
    if (style == m_style)
        return;
    m_style = style;
    hide();
    setWindowFlags(flagsFor(style, m_kind));
    applyFlags();
}

void PopoverWindow::setContent(QWidget *content)
{
    if (m_content)
        m_content->deleteLater();
    m_content = content;
    layout()->addWidget(content);
    // A drag on the strip grows the window no further than the screen's edge.
    if (auto *view = qobject_cast<PopoverView *>(content)) {
        view->resizeHandle()->installEventFilter(this);
        connect(view, &PopoverView::shownHeightChanged, this, &PopoverWindow::followContentSize);
    }
}

void PopoverWindow::toggle(const ItemAnchor &anchor)
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

QScreen *PopoverWindow::anchorScreen() const
{
    QScreen *screen = m_anchor.point ? QGuiApplication::screenAt(*m_anchor.point) : nullptr;
    if (!screen && m_style == Style::window && isVisible())
        screen = this->screen();
    return screen ? screen : QGuiApplication::primaryScreen();
}

void PopoverWindow::limitHeight(const QRect &area)
{
    auto *view = qobject_cast<PopoverView *>(m_content.data());
    if (!view)
        return;
    // At any scale the panel fits the free area: what is shown is limited,
    // what is stored is not. A window grows down from where it is, to the edge.
    int limit = area.height();
    if (m_style == Style::window && isVisible() && frameGeometry().top() > area.top())
        limit = area.bottom() + 1 - frameGeometry().top() - (frameGeometry().height() - height());
    view->setHeightLimit(std::max(1, limit));
}

void PopoverWindow::openAt(const ItemAnchor &anchor)
{
    m_anchor = anchor;
    QScreen *screen = anchorScreen();
    if (!screen)
        return;
    const QRect area = m_placer->freeArea(*screen);
    limitHeight(area);
    adjustSize();
    QRect geometry;
    if (m_style == Style::panel) {
        geometry = popoverGeometry(size(), anchor, area, screen->geometry());
        m_placer->prepare(*this, geometry, anchor);
    } else if (!isVisible()) {
        move(area.center() - rect().center());
    }
    show();
    raise();
    activateWindow();
    if (m_style == Style::panel)
        m_placer->shown(*this, geometry);
}

void PopoverWindow::followContentSize()
{
    adjustSize();
    if (m_style != Style::panel || !isVisible())
        return;
    QScreen *screen = anchorScreen();
    const QRect geometry = popoverGeometry(size(), m_anchor, m_placer->freeArea(*screen), screen->geometry());
    if (geometry.topLeft() != pos())
        m_placer->move(*this, geometry, m_anchor);
}

void PopoverWindow::setVisible(bool visible)
{
    if (!visible && isVisible() && m_style == Style::panel)
        m_placer->hiding(*this);
    if (visible)
        m_wasActive = false;
    QWidget::setVisible(visible);
}

void PopoverWindow::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::ActivationChange || m_style != Style::panel || m_kind != PanelKind::focusWindow)
        return;
    if (isActiveWindow())
        m_wasActive = true;
    else if (m_wasActive && isVisible())
        // A moment's grace: the focus may pass to our own menu, or leave and
        // come straight back (a keyboard that joins the seat).
        QTimer::singleShot(100, this, &PopoverWindow::closeIfFocusLeft);
}

void PopoverWindow::closeIfFocusLeft()
{
    if (!isVisible() || isActiveWindow() || QApplication::activePopupWidget() || QApplication::activeModalWidget())
        return;
    if (QWindow *focus = QGuiApplication::focusWindow(); focus && focus->transientParent() == windowHandle())
        return; // a window of the panel's own has it
    m_closedByOutsideClick.start();
    close();
}

void PopoverWindow::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    if (event->isAccepted())
        Q_EMIT closed();
}

bool PopoverWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress && m_content && isVisible())
        if (QScreen *screen = anchorScreen())
            limitHeight(m_placer->freeArea(*screen));
    return QWidget::eventFilter(watched, event);
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
