// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QWidget>

#include <optional>

namespace pelmora {

// The strip along the popover's bottom edge: a small capsule to grab, the
// up-down resize cursor while hovered, and a drag measured in screen
// coordinates (the strip itself moves as the popover grows).
class ResizeHandle : public QWidget {
    Q_OBJECT

public:
    static constexpr int stripHeight = 12;
    static constexpr QSizeF capsuleSize{38, 3};

    explicit ResizeHandle(QWidget *parent = nullptr);

    QSize sizeHint() const override { return QSize(40, stripHeight); }
    QRectF capsuleRect() const;

signals:
    // Every press and every movement while pressed; downwards is positive.
    void dragChanged(double translation);
    void dragEnded();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    std::optional<double> m_pressY;
};

} // namespace pelmora
