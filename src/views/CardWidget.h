// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "CardPainter.h"

#include <QWidget>

namespace pelmora {

// A widget drawn as a card. Its shadow falls outside its own rectangle, so the
// nearest ancestor marked as a shadow host paints it, beneath the card.
class CardWidget : public QWidget {
    Q_OBJECT

public:
    explicit CardWidget(const CardStyle &style, QWidget *parent = nullptr);

    const CardStyle &cardStyle() const { return m_style; }
    void setCardStyle(const CardStyle &style);

protected:
    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;
    // Subclasses paint their content over the card here.
    virtual void paintContent(QPainter &) { }

private:
    CardStyle m_style;
};

// Marks `host` as the painter of its descendants' card shadows.
void makeShadowHost(QWidget *host);
// Paints the shadows of the visible cards whose nearest shadow host is `host`.
void paintCardShadows(QPainter &painter, QWidget *host);

} // namespace pelmora
