// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ProcessListView.h"

#include "IsolatedText.h"
#include "MetricColumnHeaderView.h"
#include "ProcessListModel.h"
#include "ProcessRow.h"
#include "SymbolButton.h"
#include "Theme.h"

#include <QFontMetricsF>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <cmath>

namespace pelmora {
namespace {

QFont nameFont()
{
    return Theme::font(Theme::TextStyle::headline, QFont::Bold);
}

QFont columnTitleFont()
{
    return Theme::font(Theme::TextStyle::caption, QFont::Medium);
}

class ProcessRowDelegate final : public QStyledItemDelegate {
public:
    ProcessRowDelegate(const ProcessListModel &model, QObject *parent) : QStyledItemDelegate(parent), m_model(model) { }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        if (index.isValid() && index.row() < m_model.rowCount())
            ProcessRow::paint(*painter, ProcessListView::cardRect(option.rect), m_model.itemAt(index.row()));
    }

    // Every row is a card and the gap below it.
    QSize sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const override { return QSize(1, rowPitch()); }

    static int rowPitch() { return ProcessRow::height() + ProcessRow::rowSpacing; }

private:
    const ProcessListModel &m_model;
};

} // namespace

ProcessListHeader::ProcessListHeader(QWidget *parent) : CardWidget(Theme::card(Theme::Card::columnHeader), parent)
{
    SymbolButton::Face face;
    face.symbol = Symbol::chevronLeft;
    face.pointSize = 12;
    face.weight = SymbolWeight::bold;
    face.colour = Theme::secondaryLabel();
    face.size = QSize(backSide, backSide);
    face.cornerRadius = 7;
    face.fill = Theme::withOpacity(Theme::primaryLabel(), 0.07);
    m_back = new SymbolButton(face, this);
    m_back->setToolTip(tr("Back"));
    m_back->setAccessibleName(tr("Back"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void ProcessListHeader::setAppName(const QString &name)
{
    if (name == m_name)
        return;
    m_name = name;
    update();
}

QSize ProcessListHeader::sizeHint() const
{
    const int text = int(
        std::ceil(std::max(QFontMetricsF(nameFont()).height(), QFontMetricsF(columnTitleFont()).height())));
    const int height = std::max(backSide, text) + 2 * verticalPadding;
    return QSize(2 * horizontalPadding + backSide + 4 * spacing + FigureColumns::cpuWidth + FigureColumns::memoryWidth,
                 height);
}

FigureColumns ProcessListHeader::figureColumns() const
{
    return FigureColumns::in(
        QRectF(rect()).adjusted(horizontalPadding, verticalPadding, -horizontalPadding, -verticalPadding));
}

qreal ProcessListHeader::nameLeft() const
{
    return horizontalPadding + backSide + spacing;
}

// Up to the flexible spacer before the column titles.
QString ProcessListHeader::shownName() const
{
    return QFontMetricsF(nameFont()).elidedText(m_name, Qt::ElideRight, figureColumns().leadingRoom(nameLeft()));
}

void ProcessListHeader::resizeEvent(QResizeEvent *)
{
    m_back->move(horizontalPadding, (height() - backSide) / 2);
}

void ProcessListHeader::paintContent(QPainter &painter)
{
    const QRectF line = QRectF(rect()).adjusted(0, verticalPadding, 0, -verticalPadding);
    painter.setFont(nameFont());
    painter.setPen(Theme::primaryLabel());
    painter.drawText(QPointF(nameLeft(), centredBaseline(line, nameFont())), isolated(shownName()));

    // The list's own column titles: one word for each column everywhere.
    const FigureColumns columns = figureColumns();
    painter.setPen(Theme::secondaryLabel());
    drawTrailing(painter, columns.cpu, MetricColumnHeaderView::title(AppMetricKind::cpu), columnTitleFont());
    drawTrailing(painter, columns.memory, MetricColumnHeaderView::title(AppMetricKind::memory), columnTitleFont());
}

ProcessListView::ProcessListView(QWidget *parent) : QWidget(parent), m_model(new ProcessListModel(this))
{
    makeShadowHost(this);
    m_header = new ProcessListHeader;
    connect(m_header->backButton(), &QAbstractButton::clicked, this, [this] {
        // Leaving the list may destroy or rebuild this view; call last.
        if (const std::function<void()> clear = m_clearFilter)
            clear();
    });

    // The rows never scroll by themselves: the list is exactly as tall as
    // they are, and the popover's scrolling area moves it with the header.
    m_list = new QListView;
    m_list->setUniformItemSizes(true);
    m_list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setFocusPolicy(Qt::NoFocus);
    m_list->viewport()->setAutoFillBackground(false);
    m_list->setAutoFillBackground(false);
    m_list->setItemDelegate(new ProcessRowDelegate(*m_model, m_list));
    m_list->setModel(m_model);
    m_list->setAccessibleName(tr("Processes"));
    m_list->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    // Rows take no clicks: the pointer and the wheel reach the scrolling
    // area beneath, as over the header card.
    m_list->setAttribute(Qt::WA_TransparentForMouseEvents);

    m_empty = new QLabel(tr("No matching processes"));
    m_empty->setFont(Theme::font(Theme::TextStyle::caption));
    QPalette pal = m_empty->palette();
    pal.setColor(QPalette::WindowText, Theme::secondaryLabel());
    m_empty->setPalette(pal);
    m_empty->setAlignment(Qt::AlignLeading | Qt::AlignTop);

    auto *layout = new QVBoxLayout(this);
    // The last row's gap is part of the padding below the list.
    layout->setContentsMargins(sideInset, 0, sideInset, bottomPadding - ProcessRow::rowSpacing);
    layout->setSpacing(headerSpacing);
    layout->addWidget(m_header);
    layout->addWidget(m_list);
    layout->addWidget(m_empty);
    layout->addStretch(1);
    m_list->setFixedHeight(0);
    m_list->hide();
}

void ProcessListView::setContent(const AppMetric &app, const QList<ProcessMetric> &processes,
                                 std::function<void()> clearFilter)
{
    m_clearFilter = std::move(clearFilter);
    m_appID = app.id;
    m_header->setAppName(app.name);
    m_model->setItems(processes);
    m_list->setFixedHeight(int(processes.size()) * ProcessRowDelegate::rowPitch());
    m_list->setVisible(!processes.isEmpty());
    m_empty->setVisible(processes.isEmpty());
}

bool ProcessListView::isShowingEmptyText() const
{
    return m_empty->isVisibleTo(this);
}

QRect ProcessListView::cardRect(const QRect &itemRect)
{
    return itemRect.adjusted(0, 0, 0, -ProcessRow::rowSpacing);
}

void ProcessListView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paintCardShadows(painter, this);
}

} // namespace pelmora
