// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "OverlayScrollBar.h"

#include <QAbstractScrollArea>
#include <QEvent>

namespace pelmora {

OverlayScrollBar::OverlayScrollBar(QAbstractScrollArea *area) : QScrollBar(Qt::Vertical, area), m_area(area)
{
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setStyleSheet(QStringLiteral(
        "QScrollBar:vertical { width: 10px; background: transparent; margin: 2px 2px 2px 0; }"
        "QScrollBar::handle:vertical { background: rgba(0, 0, 0, 64); border-radius: 3px; min-height: 24px; }"
        "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
        "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: transparent; }"));
    QScrollBar *inner = area->verticalScrollBar();
    connect(inner, &QScrollBar::rangeChanged, this, &OverlayScrollBar::follow);
    connect(inner, &QScrollBar::valueChanged, this, &QScrollBar::setValue);
    connect(this, &QScrollBar::valueChanged, inner, &QScrollBar::setValue);
    area->installEventFilter(this);
    area->viewport()->installEventFilter(this);
    follow();
    place();
}

void OverlayScrollBar::follow()
{
    const QScrollBar *inner = m_area->verticalScrollBar();
    setRange(inner->minimum(), inner->maximum());
    // A page is the viewport's height, as the area's own bar has it; that
    // one may change its page after its range, without a signal.
    setPageStep(m_area->viewport()->height());
    setSingleStep(inner->singleStep());
    setValue(inner->value());
    setVisible(maximum() > minimum());
}

void OverlayScrollBar::place()
{
    setGeometry(m_area->width() - barWidth, 0, barWidth, m_area->height());
    raise();
}

bool OverlayScrollBar::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize) {
        if (watched == m_area)
            place();
        else
            follow();
    }
    return QScrollBar::eventFilter(watched, event);
}

} // namespace pelmora
