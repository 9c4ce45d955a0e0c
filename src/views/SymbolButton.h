// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "Symbols.h"

#include <QAbstractButton>
#include <QColor>

namespace pelmora {

// A borderless button whose face is a symbol on an optional background shape
// (a rounded square, or a circle), which may fill only while hovered.
class SymbolButton : public QAbstractButton {
    Q_OBJECT

public:
    struct Face {
        Symbol symbol = Symbol::xmark;
        qreal pointSize = 12;
        SymbolWeight weight = SymbolWeight::regular;
        QColor colour;
        QSize size{16, 16};
        qreal cornerRadius = -1; // negative: a circle
        QColor fill = Qt::transparent; // always
        QColor hoverFill = Qt::transparent; // while the pointer is over it
    };

    explicit SymbolButton(const Face &face, QWidget *parent = nullptr);

    bool isHovering() const { return m_isHovering; }
    const Face &face() const { return m_face; }

    QSize sizeHint() const override { return m_face.size; }
    QSize minimumSizeHint() const override { return m_face.size; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    Face m_face;
    bool m_isHovering = false;
};

// A borderless button with a symbol and a title beside it, like a label.
class LabelButton : public QAbstractButton {
    Q_OBJECT

public:
    LabelButton(Symbol symbol, const QString &title, const QColor &colour, QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Symbol m_symbol;
    QColor m_colour;
};

} // namespace pelmora
