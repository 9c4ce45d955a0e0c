// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "MetricColumnHeaderView.h"

#include "FigureColumns.h"
#include "FocusRing.h"
#include "Symbols.h"
#include "Theme.h"

#include <QFontMetricsF>
#include <QPainter>

namespace pelmora {
namespace {

int indexOf(AppMetricKind kind)
{
    return int(kind);
}

QFont labelFont()
{
    return Theme::font(Theme::TextStyle::caption, QFont::Medium);
}

constexpr qreal chevronPointSize = 8;
constexpr qreal chevronSpacing = 3;

} // namespace

QString SortHitArea::tooltip(AppMetricKind kind)
{
    switch (kind) {
    case AppMetricKind::app:
        return tr("Sort by app");
    case AppMetricKind::cpu:
        return tr("Sort by CPU");
    case AppMetricKind::memory:
        return tr("Sort by memory");
    }
    return {};
}

SortHitArea::SortHitArea(AppMetricKind kind, QWidget *parent) : QAbstractButton(parent), m_kind(kind)
{
    setToolTip(tooltip(kind));
    setAccessibleName(tooltip(kind));
    setCheckable(true);
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::ArrowCursor);
}

void SortHitArea::focusInEvent(QFocusEvent *event)
{
    QAbstractButton::focusInEvent(event);
    if (parentWidget())
        parentWidget()->update();
}

void SortHitArea::focusOutEvent(QFocusEvent *event)
{
    QAbstractButton::focusOutEvent(event);
    if (parentWidget())
        parentWidget()->update();
}

MetricColumnHeaderView::MetricColumnHeaderView(QWidget *parent)
    : CardWidget(Theme::card(Theme::Card::columnHeader), parent)
{
    for (AppMetricKind kind : {AppMetricKind::app, AppMetricKind::cpu, AppMetricKind::memory}) {
        auto *area = new SortHitArea(kind, this);
        connect(area, &QAbstractButton::clicked, this, [this, kind] {
            if (m_setMetric)
                m_setMetric(kind);
        });
        area->setChecked(kind == m_metric);
        m_hitAreas[indexOf(kind)] = area;
    }
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

SortHitArea *MetricColumnHeaderView::hitArea(AppMetricKind kind) const
{
    return m_hitAreas[indexOf(kind)];
}

void MetricColumnHeaderView::setMetric(AppMetricKind metric)
{
    if (metric == m_metric)
        return;
    m_metric = metric;
    for (SortHitArea *area : m_hitAreas)
        area->setChecked(area->kind() == metric);
    update();
}

QSize MetricColumnHeaderView::sizeHint() const
{
    const int text = int(std::ceil(QFontMetricsF(labelFont()).height()));
    const int content = std::max(text, int(std::ceil(symbolBoxSide(chevronPointSize))));
    const int height = std::max(minimumHeaderHeight, content + 2 * verticalPadding);
    const int width = 2 * horizontalPadding + appLabelWidth + 3 * spacing + FigureColumns::cpuWidth + memoryLabelWidth
        + trailingPadding;
    return QSize(width, height);
}

QSize MetricColumnHeaderView::minimumSizeHint() const
{
    return sizeHint();
}

QRectF MetricColumnHeaderView::labelFrame(AppMetricKind kind) const
{
    const QRectF content = QRectF(rect()).adjusted(horizontalPadding, verticalPadding, -horizontalPadding,
                                                   -verticalPadding);
    const FigureColumns labels = FigureColumns::in(content.adjusted(0, 0, -trailingPadding, 0), memoryLabelWidth);
    switch (kind) {
    case AppMetricKind::app:
        return QRectF(content.left(), content.top(), appLabelWidth, content.height());
    case AppMetricKind::cpu:
        return labels.cpu;
    case AppMetricKind::memory:
        return labels.memory;
    }
    return {};
}

void MetricColumnHeaderView::resizeEvent(QResizeEvent *)
{
    // Click regions: padded by 10 at the sides, full height, no spacing.
    const int left = horizontalPadding;
    const int right = width() - horizontalPadding;
    const int memoryLeft = right - memoryHitWidth;
    const int cpuLeft = memoryLeft - cpuHitWidth;
    hitArea(AppMetricKind::app)->setGeometry(left, 0, std::max(0, cpuLeft - left), height());
    hitArea(AppMetricKind::cpu)->setGeometry(cpuLeft, 0, cpuHitWidth, height());
    hitArea(AppMetricKind::memory)->setGeometry(memoryLeft, 0, memoryHitWidth, height());
}

QRectF MetricColumnHeaderView::labelInk(AppMetricKind kind) const
{
    const QRectF frame = labelFrame(kind);
    const QFontMetricsF fm(labelFont());
    // The chevron's ink is narrower than its box; space and align by the ink.
    const qreal chevronInk = symbolBoxSide(chevronPointSize) * 0.65;
    const qreal width = fm.horizontalAdvance(title(kind)) + (kind == m_metric ? chevronSpacing + chevronInk : 0);
    qreal left = frame.left();
    if (kind == AppMetricKind::cpu)
        left = frame.right() - width;
    else if (kind == AppMetricKind::memory)
        left = frame.center().x() - width / 2;
    return QRectF(left, frame.center().y() - fm.height() / 2, width, fm.height());
}

void MetricColumnHeaderView::paintLabel(QPainter &painter, const QString &title, AppMetricKind kind) const
{
    const QRectF ink = labelInk(kind);
    const bool active = kind == m_metric;
    const QColor colour = active ? Theme::primaryLabel() : Theme::secondaryLabel();
    const QFont font = labelFont();
    const QFontMetricsF fm(font);
    painter.setFont(font);
    painter.setPen(colour);
    painter.drawText(QPointF(ink.left(), ink.top() + fm.ascent()), title);
    if (active) {
        const qreal chevronInk = symbolBoxSide(chevronPointSize) * 0.65;
        paintSymbol(painter, Symbol::chevronDown, QPointF(ink.right() - chevronInk / 2, ink.center().y()), colour,
                    SymbolWeight::bold, chevronPointSize);
    }
    if (showsFocusRing(hitArea(kind)))
        paintFocusRing(painter, ink.adjusted(-6, -4, 6, 4), 6);
}

QString MetricColumnHeaderView::title(AppMetricKind kind)
{
    switch (kind) {
    case AppMetricKind::app:
        return tr("Apps");
    case AppMetricKind::cpu:
        return tr("%CPU");
    case AppMetricKind::memory:
        return tr("Memory");
    }
    return {};
}

void MetricColumnHeaderView::paintContent(QPainter &painter)
{
    for (AppMetricKind kind : {AppMetricKind::app, AppMetricKind::cpu, AppMetricKind::memory})
        paintLabel(painter, title(kind), kind);
}

} // namespace pelmora
