// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ResizeHandle.h"

#include "Theme.h"

#include <QMouseEvent>
#include <QPainter>

namespace pelmora {

ResizeHandle::ResizeHandle(QWidget *parent) : QWidget(parent)
{
    setFixedHeight(stripHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    // Qt shows this cursor while the pointer is over the strip and restores
    // the previous one when it leaves.
    setCursor(Qt::SizeVerCursor);
    setAccessibleName(tr("Resize"));
}

QRectF ResizeHandle::capsuleRect() const
{
    return QRectF(QPointF(width() / 2.0 - capsuleSize.width() / 2, height() / 2.0 - capsuleSize.height() / 2),
                  capsuleSize);
}

void ResizeHandle::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Theme::withOpacity(Theme::secondaryLabel(), 0.45));
    const QRectF capsule = capsuleRect();
    painter.drawRoundedRect(capsule, capsule.height() / 2, capsule.height() / 2);
}

void ResizeHandle::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    m_pressY = event->globalPosition().y();
    emit dragChanged(0.0);
}

void ResizeHandle::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_pressY)
        return QWidget::mouseMoveEvent(event);
    emit dragChanged(event->globalPosition().y() - *m_pressY);
}

void ResizeHandle::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_pressY)
        return QWidget::mouseReleaseEvent(event);
    m_pressY.reset();
    emit dragEnded();
}

} // namespace pelmora
