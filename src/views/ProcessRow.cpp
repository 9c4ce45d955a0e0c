// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ProcessRow.h"

#include "CardPainter.h"
#include "IsolatedText.h"
#include "Symbols.h"
#include "Theme.h"
#include "support/MetricFormatters.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace pelmora {
namespace {

QFont nameFont()
{
    return Theme::font(Theme::TextStyle::callout);
}

QFont figureFont()
{
    return Theme::monospacedFont(Theme::TextStyle::callout);
}

} // namespace

int ProcessRow::height()
{
    const qreal text = std::max(QFontMetricsF(nameFont()).height(), QFontMetricsF(figureFont()).height());
    const int content = int(std::ceil(std::max<qreal>(iconSide, text)));
    return std::max(minimumHeight, content + 2 * verticalPadding);
}

ProcessRow::Layout ProcessRow::layout(const QRectF &card, const QString &name)
{
    const QRectF line = card.adjusted(horizontalPadding, verticalPadding, -horizontalPadding, -verticalPadding);
    Layout l;
    l.icon = QRectF(line.left(), line.center().y() - iconSide / 2.0, iconSide, iconSide);
    l.figures = FigureColumns::in(line);
    const qreal nameLeft = l.icon.right() + spacing;
    const qreal room = l.figures.leadingRoom(nameLeft);
    const QFontMetricsF fm(nameFont());
    l.shownName = fm.elidedText(name, Qt::ElideMiddle, room);
    l.name = QRectF(nameLeft, line.top(), std::min(room, fm.horizontalAdvance(l.shownName)), line.height());
    return l;
}

void ProcessRow::paint(QPainter &painter, const QRectF &card, const ProcessMetric &process)
{
    paintCard(painter, card, Theme::card(Theme::Card::processRow));
    const Layout l = layout(card, process.name);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(continuousRoundedRect(l.icon, 7), Theme::withOpacity(Theme::primaryLabel(), 0.06));
    paintSymbol(painter, Symbol::gearShape, l.icon.center(), Theme::secondaryLabel(), SymbolWeight::semibold, 12);

    painter.setFont(nameFont());
    painter.setPen(Theme::primaryLabel());
    painter.drawText(QPointF(l.name.left(), centredBaseline(l.name, nameFont())), isolated(l.shownName));

    painter.setPen(Theme::secondaryLabel());
    drawTrailing(painter, l.figures.cpu, formattedProcessCPU(process.cpuPercent), figureFont());
    drawTrailing(painter, l.figures.memory, formattedBytes(process.memoryBytes), figureFont());
    painter.restore();
}

} // namespace pelmora
