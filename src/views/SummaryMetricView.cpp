// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SummaryMetricView.h"

#include "Theme.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace pelmora {
namespace {

QFont titleFont()
{
    return Theme::font(Theme::TextStyle::caption, QFont::Medium);
}

// Qt 6.4 cannot ask for tabular figures; the sans faces in use (DejaVu and
// its kind) draw every digit at one width, so figures do not jiggle.
QFont valueFont()
{
    QFont f = Theme::systemFont(SummaryMetricView::valuePixelSize, QFont::Bold);
    return f;
}

QFont detailFont()
{
    QFont f = Theme::font(Theme::TextStyle::caption, QFont::Medium);
    return f;
}

} // namespace

SummaryMetricView::SummaryMetricView(const QString &title, Symbol systemImage, const QColor &tint, QWidget *parent)
    : CardWidget(Theme::tileCard(tint), parent), m_title(title), m_symbol(systemImage), m_tint(tint)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    // The tile is painted; screen readers get its title and figures here.
    setAccessibleName(m_title);
}

void SummaryMetricView::setFigures(const QString &value, const std::optional<QString> &detail)
{
    if (value == m_value && detail == m_detail)
        return;
    m_value = value;
    m_detail = detail;
    setAccessibleDescription(m_detail ? m_value + QLatin1Char(' ') + *m_detail : m_value);
    update();
}

QSize SummaryMetricView::sizeHint() const
{
    const QFontMetricsF title(titleFont());
    const QFontMetricsF value(valueFont());
    const qreal texts = title.height() + titleSpacing + value.height();
    const int content = int(std::ceil(std::max<qreal>(badgeSide, texts)));
    return QSize(2 * padding + badgeSide + badgeSpacing + 80, content + 2 * padding);
}

QSize SummaryMetricView::minimumSizeHint() const
{
    return QSize(2 * padding + badgeSide, sizeHint().height());
}

SummaryMetricView::FittedText SummaryMetricView::fitDetail(const QString &detail, qreal width)
{
    QFont font = detailFont();
    const int fullSize = font.pixelSize();
    const int smallest = int(std::ceil(fullSize * minimumDetailScale));
    if (QFontMetricsF(font).horizontalAdvance(detail) <= width)
        return {font, detail};
    // Tighter letters first, then smaller, a pixel at a time, down to 0.65.
    font.setLetterSpacing(QFont::PercentageSpacing, 97);
    for (int size = fullSize; size >= smallest; --size) {
        font.setPixelSize(size);
        if (QFontMetricsF(font).horizontalAdvance(detail) <= width)
            return {font, detail};
    }
    return {font, QFontMetricsF(font).elidedText(detail, Qt::ElideRight, width)};
}

void SummaryMetricView::paintContent(QPainter &painter)
{
    const QRectF content = QRectF(rect()).adjusted(padding, padding, -padding, -padding);

    // Badge
    const QRectF badge(content.left(), content.center().y() - badgeSide / 2.0, badgeSide, badgeSide);
    painter.fillPath(continuousRoundedRect(badge, 8), Theme::withOpacity(m_tint, 0.12));
    paintSymbol(painter, m_symbol, badge.center(), m_tint, SymbolWeight::semibold, 16);

    // Title above the figures, the pair centred against the badge.
    const QFontMetricsF titleMetrics(titleFont());
    const QFontMetricsF valueMetrics(valueFont());
    const qreal textsHeight = titleMetrics.height() + titleSpacing + valueMetrics.height();
    const qreal left = badge.right() + badgeSpacing;
    const qreal top = content.center().y() - textsHeight / 2;
    painter.setFont(titleFont());
    painter.setPen(Theme::secondaryLabel());
    painter.drawText(QPointF(left, top + titleMetrics.ascent()),
                     titleMetrics.elidedText(m_title, Qt::ElideRight, content.right() - left));

    const qreal baseline = top + titleMetrics.height() + titleSpacing + valueMetrics.ascent();
    painter.setFont(valueFont());
    painter.setPen(Theme::primaryLabel());
    painter.drawText(QPointF(left, baseline), m_value);

    if (m_detail) {
        const qreal detailLeft = left + valueMetrics.horizontalAdvance(m_value) + detailSpacing;
        const FittedText fitted = fitDetail(*m_detail, std::max(0.0, content.right() - detailLeft));
        painter.setFont(fitted.font);
        painter.setPen(Theme::secondaryLabel());
        painter.drawText(QPointF(detailLeft, baseline), fitted.text);
    }
}

} // namespace pelmora
