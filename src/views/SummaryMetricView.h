// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "CardWidget.h"
#include "Symbols.h"

#include <QColor>
#include <QString>

#include <optional>

namespace pelmora {

// One summary tile of the popover header: a tinted badge, a small title, a
// large figure and optionally a small second figure beside it.
class SummaryMetricView : public CardWidget {
    Q_OBJECT

public:
    static constexpr int padding = 10;
    static constexpr int badgeSide = 30;
    static constexpr int badgeSpacing = 10;
    static constexpr int titleSpacing = 2;
    static constexpr int detailSpacing = 5;
    static constexpr qreal valuePixelSize = 24;
    static constexpr qreal minimumDetailScale = 0.65;

    SummaryMetricView(const QString &title, Symbol systemImage, const QColor &tint, QWidget *parent = nullptr);

    void setFigures(const QString &value, const std::optional<QString> &detail);
    const QString &title() const { return m_title; }
    const QString &value() const { return m_value; }
    const std::optional<QString> &detail() const { return m_detail; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // The detail as drawn at `width`: its font shrunk (down to 0.65 of its
    // size) before the text is cut. Exposed for tests.
    struct FittedText {
        QFont font;
        QString text;
    };
    static FittedText fitDetail(const QString &detail, qreal width);

protected:
    void paintContent(QPainter &painter) override;

private:
    QString m_title;
    Symbol m_symbol;
    QColor m_tint;
    QString m_value;
    std::optional<QString> m_detail;
};

} // namespace pelmora
