// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "PopoverHeader.h"

#include "CardPainter.h"
#include "SummaryMetricView.h"
#include "SymbolButton.h"
#include "Theme.h"
#include "models/MetricsSnapshot.h"
#include "support/MetricFormatters.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QVBoxLayout>

namespace pelmora {
namespace {

// The application's badge: a chart on a blue-to-green square.
class AppBadge final : public QWidget {
public:
    explicit AppBadge(QWidget *parent = nullptr) : QWidget(parent)
    {
        setFixedSize(PopoverHeader::badgeSide, PopoverHeader::badgeSide);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF box = rect();
        QLinearGradient gradient(box.topLeft(), box.bottomRight());
        gradient.setColorAt(0, Theme::systemBlue());
        gradient.setColorAt(1, Theme::systemGreen());
        painter.fillPath(continuousRoundedRect(box, 10), gradient);
        paintSymbol(painter, Symbol::chartLineUptrendXYAxis, box.center(), Qt::white, SymbolWeight::bold, 16);
    }
};

QLabel *textLabel(const QString &text, const QFont &font, const QColor &colour)
{
    auto *label = new QLabel(text);
    label->setFont(font);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, colour);
    label->setPalette(pal);
    return label;
}

} // namespace

PopoverHeader::PopoverHeader(QWidget *parent) : QWidget(parent)
{
    auto *titles = new QVBoxLayout;
    titles->setSpacing(1);
    //: The panel's title: the program's name, as the window title and the menu entry give it.
    m_title = textLabel(tr("Pelmora"), Theme::font(Theme::TextStyle::title3, QFont::Bold), Theme::primaryLabel());
    titles->addWidget(m_title);
    titles->addWidget(textLabel(tr("System monitor"), Theme::font(Theme::TextStyle::caption), Theme::secondaryLabel()));

    SymbolButton::Face face;
    face.symbol = Symbol::xmark;
    face.pointSize = 12;
    face.weight = SymbolWeight::semibold;
    face.colour = Theme::secondaryLabel();
    face.size = QSize(closeSide, closeSide);
    face.hoverFill = Theme::withOpacity(Theme::primaryLabel(), 0.1);
    m_close = new SymbolButton(face);
    m_close->setToolTip(tr("Close"));
    m_close->setAccessibleName(tr("Close"));
    connect(m_close, &QAbstractButton::clicked, this, &PopoverHeader::closeClicked);

    auto *titleRow = new QHBoxLayout;
    titleRow->setSpacing(10);
    titleRow->addWidget(new AppBadge);
    titleRow->addLayout(titles);
    titleRow->addStretch(1);
    titleRow->addWidget(m_close);

    m_cpu = new SummaryMetricView(tr("CPU"), Symbol::cpu, Theme::systemBlue());
    m_cpu->setFixedWidth(cpuTileWidth);
    m_memory = new SummaryMetricView(tr("Memory"), Symbol::memoryChip, Theme::systemGreen());
    m_memory->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    auto *tiles = new QHBoxLayout;
    tiles->setSpacing(14);
    tiles->addWidget(m_cpu);
    tiles->addWidget(m_memory, 1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(rowSpacing);
    layout->addLayout(titleRow);
    layout->addLayout(tiles);
}

void PopoverHeader::showFigures(const MetricsSnapshot &snapshot)
{
    m_cpu->setFigures(formattedPercent(snapshot.cpuPercent), std::nullopt);
    m_memory->setFigures(formattedPercent(snapshot.memoryUsedPercent),
                         formattedBytes(snapshot.memoryUsedBytes) + QStringLiteral(" / ")
                             + formattedBytes(snapshot.memoryTotalBytes));
}

} // namespace pelmora
