// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "CardWidget.h"

#include <QEvent>
#include <QPainter>

namespace pelmora {
namespace {

constexpr const char *hostProperty = "pelmoraShadowHost";

QWidget *shadowHostOf(const QWidget *widget)
{
    for (QWidget *w = widget->parentWidget(); w; w = w->parentWidget()) {
        if (w->property(hostProperty).toBool())
            return w;
    }
    return nullptr;
}

} // namespace

CardWidget::CardWidget(const CardStyle &style, QWidget *parent) : QWidget(parent), m_style(style)
{
}

void CardWidget::setCardStyle(const CardStyle &style)
{
    m_style = style;
    update();
    if (QWidget *host = shadowHostOf(this))
        host->update();
}

void CardWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    CardStyle face = m_style;
    face.shadowColour = Qt::transparent;
    paintCard(painter, rect(), face);
    paintContent(painter);
}

bool CardWidget::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
        if (QWidget *host = shadowHostOf(this))
            host->update();
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

void makeShadowHost(QWidget *host)
{
    host->setProperty(hostProperty, true);
}

void paintCardShadows(QPainter &painter, QWidget *host)
{
    const QList<CardWidget *> cards = host->findChildren<CardWidget *>();
    for (CardWidget *card : cards) {
        if (!card->isVisibleTo(host) || shadowHostOf(card) != host)
            continue;
        paintCardShadow(painter, QRectF(QRect(card->mapTo(host, QPoint(0, 0)), card->size())), card->cardStyle());
    }
}

} // namespace pelmora
