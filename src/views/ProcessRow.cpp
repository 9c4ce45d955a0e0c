// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ProcessRow.h"

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

qreal centredBaseline(const QRectF &rect, const QFont &font)
{
    const QFontMetricsF fm(font);
    return rect.center().y() + (fm.ascent() - fm.descent()) / 2.0;
}

} // namespace

int ProcessRow::height()
{
    const qreal text = std::max(QFontMetricsF(nameFont()).height(), QFontMetricsF(figureFont()).height());
    const int content = int(std::ceil(std::max<qreal>(iconSide, text)));
    return std::max(minimumHeight, content + 2 * verticalPadding);
}

CardStyle ProcessRow::cardStyle()
{
    CardStyle style;
    style.radius = 10;
    style.fill = Theme::textBackground();
    style.stroke = Theme::withOpacity(Theme::primaryLabel(), 0.06);
    return style;
}

ProcessRow::Layout ProcessRow::layout(const QRectF &card, const QString &name)
{
    const QRectF line = card.adjusted(horizontalPadding, verticalPadding, -horizontalPadding, -verticalPadding);
    Layout l;
    l.icon = QRectF(line.left(), line.center().y() - iconSide / 2.0, iconSide, iconSide);
    l.memory = QRectF(line.right() - memoryColumnWidth, line.top(), memoryColumnWidth, line.height());
    l.cpu = QRectF(l.memory.left() - spacing - cpuColumnWidth, line.top(), cpuColumnWidth, line.height());
    const qreal nameLeft = l.icon.right() + spacing;
    const qreal room = std::max(0.0, l.cpu.left() - 2 * spacing - minimumGap - nameLeft);
    const QFontMetricsF fm(nameFont());
    l.shownName = fm.elidedText(name, Qt::ElideMiddle, room);
    l.name = QRectF(nameLeft, line.top(), std::min(room, fm.horizontalAdvance(l.shownName)), line.height());
    return l;
}

void ProcessRow::paint(QPainter &painter, const QRectF &card, const ProcessMetric &process)
{
    paintCard(painter, card, cardStyle());
    const Layout l = layout(card, process.name);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(continuousRoundedRect(l.icon, 7), Theme::withOpacity(Theme::primaryLabel(), 0.06));
    paintSymbol(painter, Symbol::gearShape, l.icon.center(), Theme::secondaryLabel(), SymbolWeight::semibold, 12);

    painter.setFont(nameFont());
    painter.setPen(Theme::primaryLabel());
    painter.drawText(QPointF(l.name.left(), centredBaseline(l.name, nameFont())), isolated(l.shownName));

    const QFont figures = figureFont();
    const QFontMetricsF fm(figures);
    painter.setFont(figures);
    painter.setPen(Theme::secondaryLabel());
    const QString cpu = formattedProcessCPU(process.cpuPercent);
    const QString memory = formattedBytes(process.memoryBytes);
    painter.drawText(QPointF(l.cpu.right() - fm.horizontalAdvance(cpu), centredBaseline(l.cpu, figures)), cpu);
    painter.drawText(QPointF(l.memory.right() - fm.horizontalAdvance(memory), centredBaseline(l.memory, figures)),
                     memory);
    painter.restore();
}

} // namespace pelmora
