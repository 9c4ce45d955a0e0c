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
#include <QPainter>
#include <QListView>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <cmath>

namespace pelmora {
namespace {

CardStyle headerStyle()
{
    CardStyle style;
    style.radius = 9;
    style.fill = Theme::textBackground();
    style.stroke = Theme::withOpacity(Theme::primaryLabel(), 0.07);
    style.shadowColour = QColor(0, 0, 0, qRound(255 * 0.04));
    style.shadowBlur = 6;
    style.shadowOffset = {0, 2};
    return style;
}

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
    ProcessRowDelegate(const ProcessListModel &model, QObject *parent) : QStyledItemDelegate(parent), m_model(model) {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        if (index.isValid() && index.row() < m_model.rowCount())
            ProcessRow::paint(*painter, ProcessListView::cardRect(option.rect), m_model.itemAt(index.row()));
    }

    // Every row is a card and the gap below it.
    QSize sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const override
    {
        return QSize(1, rowPitch());
    }

    static int rowPitch() { return ProcessRow::height() + ProcessRow::rowSpacing; }

private:
    const ProcessListModel &m_model;
};

} // namespace

ProcessListHeader::ProcessListHeader(QWidget *parent) : CardWidget(headerStyle(), parent)
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
    const int text = int(std::ceil(std::max(QFontMetricsF(nameFont()).height(),
                                            QFontMetricsF(columnTitleFont()).height())));
    const int height = std::max(backSide, text) + 2 * verticalPadding;
    return QSize(2 * horizontalPadding + backSide + 4 * spacing + cpuColumnWidth + memoryColumnWidth, height);
}

QRectF ProcessListHeader::memoryTitleFrame() const
{
    const QRectF content = QRectF(rect()).adjusted(horizontalPadding, verticalPadding, -horizontalPadding,
                                                   -verticalPadding);
    return QRectF(content.right() - memoryColumnWidth, content.top(), memoryColumnWidth, content.height());
}

QRectF ProcessListHeader::cpuTitleFrame() const
{
    const QRectF memory = memoryTitleFrame();
    return QRectF(memory.left() - spacing - cpuColumnWidth, memory.top(), cpuColumnWidth, memory.height());
}

QRectF ProcessListHeader::nameFrame() const
{
    const qreal left = horizontalPadding + backSide + spacing;
    // Up to the flexible spacer, which keeps at least one spacing of its own.
    const qreal right = cpuTitleFrame().left() - 3 * spacing;
    const QFontMetricsF fm(nameFont());
    const qreal width = std::clamp(fm.horizontalAdvance(shownName()), 0.0, std::max(0.0, right - left));
    return QRectF(left, verticalPadding, width, height() - 2 * verticalPadding);
}

QString ProcessListHeader::shownName() const
{
    const qreal left = horizontalPadding + backSide + spacing;
    const qreal right = cpuTitleFrame().left() - 3 * spacing;
    return QFontMetricsF(nameFont()).elidedText(m_name, Qt::ElideRight, std::max(0.0, right - left));
}

void ProcessListHeader::resizeEvent(QResizeEvent *)
{
    m_back->move(horizontalPadding, (height() - backSide) / 2);
}

void ProcessListHeader::paintContent(QPainter &painter)
{
    const QRectF name = nameFrame();
    const QFontMetricsF nameMetrics(nameFont());
    painter.setFont(nameFont());
    painter.setPen(Theme::primaryLabel());
    painter.drawText(QPointF(name.left(), name.center().y() + (nameMetrics.ascent() - nameMetrics.descent()) / 2),
                     isolated(shownName()));

    const QFont font = columnTitleFont();
    const QFontMetricsF fm(font);
    painter.setFont(font);
    painter.setPen(Theme::secondaryLabel());
    const auto trailing = [&](const QRectF &frame, const QString &text) {
        painter.drawText(QPointF(frame.right() - fm.horizontalAdvance(text),
                                 frame.center().y() + (fm.ascent() - fm.descent()) / 2),
                         text);
    };
    // The list's own column titles: one word for each column everywhere.
    trailing(cpuTitleFrame(), MetricColumnHeaderView::title(AppMetricKind::cpu));
    trailing(memoryTitleFrame(), MetricColumnHeaderView::title(AppMetricKind::memory));
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
