// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "AppMetricRow.h"

#include "CardPainter.h"
#include "FigureEmphasis.h"
#include "IsolatedText.h"
#include "Theme.h"
#include "support/MetricFormatters.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>

namespace pelmora {
namespace {

using Theme::TextStyle;

QFont nameFont(bool isProcess)
{
    return Theme::font(isProcess ? TextStyle::caption : TextStyle::callout);
}

QFont figureFont(const FigureEmphasis &emphasis)
{
    return Theme::monospacedFont(TextStyle::callout, emphasis.isSemibold ? QFont::DemiBold : QFont::Normal);
}

void drawFigure(QPainter &painter, const QRectF &column, const QString &text, const FigureEmphasis &emphasis)
{
    painter.setPen(figureColour(emphasis.tint));
    drawTrailing(painter, column, text, figureFont(emphasis));
}

} // namespace

int AppMetricRow::lineHeight()
{
    const QFontMetricsF name(nameFont(false));
    const QFontMetricsF figures(Theme::monospacedFont(TextStyle::callout, QFont::DemiBold));
    return std::max<int>(minimumLineHeight, int(std::ceil(std::max(name.height(), figures.height()))));
}

int AppMetricRow::height()
{
    return lineHeight() + 2 * verticalPadding;
}

std::optional<QString> AppMetricRow::countText(std::optional<qsizetype> processCount)
{
    if (!processCount || *processCount < 2)
        return std::nullopt;
    // Plain digits, as printf's "%lld": no grouping, whatever the locale.
    return QString::number(qint64(*processCount));
}

AppMetricRow::LineLayout AppMetricRow::lineLayout(const QRectF &line, const QString &name,
                                                  std::optional<qsizetype> processCount, bool isProcess)
{
    LineLayout layout;
    layout.figures = FigureColumns::in(line);
    const qreal groupWidth = layout.figures.leadingRoom(line.left());

    qreal countWidth = 0;
    if (const std::optional<QString> count = countText(processCount)) {
        layout.countText = *count;
        countWidth = QFontMetricsF(Theme::font(TextStyle::caption2)).horizontalAdvance(*count);
    }
    const qreal nameRoom = std::max(0.0, groupWidth - (countWidth > 0 ? countSpacing + countWidth : 0));
    const QFontMetricsF fm(nameFont(isProcess));
    layout.shownName = fm.elidedText(name, Qt::ElideMiddle, nameRoom);
    const qreal nameWidth = std::min(nameRoom, fm.horizontalAdvance(layout.shownName));
    layout.name = QRectF(line.left(), line.top(), nameWidth, line.height());
    if (countWidth > 0)
        layout.count = QRectF(layout.name.right() + countSpacing, line.top(), countWidth, line.height());
    return layout;
}

void AppMetricRow::paintMetricLine(QPainter &painter, const QRectF &line, const QString &name,
                                   std::optional<qsizetype> processCount, double cpuPercent, quint64 memoryBytes,
                                   bool isProcess, AppMetricKind emphasized)
{
    const LineLayout layout = lineLayout(line, name, processCount, isProcess);
    painter.save();

    // Name and count share the name's baseline.
    const QFont font = nameFont(isProcess);
    const qreal baseline = centredBaseline(line, font);
    painter.setFont(font);
    painter.setPen(isProcess ? Theme::secondaryLabel() : Theme::primaryLabel());
    painter.drawText(QPointF(layout.name.left(), baseline), isolated(layout.shownName));
    if (!layout.count.isEmpty()) {
        painter.setFont(Theme::font(TextStyle::caption2));
        painter.setPen(Theme::secondaryLabel());
        painter.drawText(QPointF(layout.count.left(), baseline), layout.countText);
    }

    drawFigure(painter, layout.figures.cpu, formattedProcessCPU(cpuPercent),
               cpuFigureEmphasis(cpuPercent, emphasized, isProcess));
    drawFigure(painter, layout.figures.memory, formattedBytes(memoryBytes),
               memoryFigureEmphasis(memoryBytes, emphasized, isProcess));
    painter.restore();
}

void AppMetricRow::paint(QPainter &painter, const QRectF &card, const AppMetric &app, AppMetricKind emphasized,
                         bool isHighlighted)
{
    paintCard(painter, card, Theme::card(isHighlighted ? Theme::Card::highlightedAppRow : Theme::Card::appRow));
    const QRectF line = card.adjusted(horizontalPadding, verticalPadding, -horizontalPadding, -verticalPadding);
    paintMetricLine(painter, line, app.name, app.processes.size(), app.cpuPercent, app.memoryBytes, false, emphasized);
}

} // namespace pelmora
