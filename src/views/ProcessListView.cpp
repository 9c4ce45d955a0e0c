// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ProcessListView.h"

#include "PaddedListView.h"
#include "ProcessListModel.h"
#include "ProcessRow.h"
#include "SymbolButton.h"
#include "Theme.h"

#include <QFontMetricsF>
#include <QLabel>
#include <QPainter>
#include <QStackedLayout>
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
    ProcessRowDelegate(const ProcessListModel &model, const PaddedListView &view, QObject *parent)
        : QStyledItemDelegate(parent), m_model(model), m_view(view)
    {
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        if (index.isValid() && index.row() < m_model.rowCount())
            ProcessRow::paint(*painter, m_view.cardRect(option.rect), m_model.itemAt(index.row()));
    }

    QSize sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const override
    {
        return QSize(1, ProcessRow::height() + ProcessRow::rowSpacing);
    }

private:
    const ProcessListModel &m_model;
    const PaddedListView &m_view;
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
                     shownName());

    const QFont font = columnTitleFont();
    const QFontMetricsF fm(font);
    painter.setFont(font);
    painter.setPen(Theme::secondaryLabel());
    const auto trailing = [&](const QRectF &frame, const QString &text) {
        painter.drawText(QPointF(frame.right() - fm.horizontalAdvance(text),
                                 frame.center().y() + (fm.ascent() - fm.descent()) / 2),
                         text);
    };
    trailing(cpuTitleFrame(), tr("%CPU"));
    trailing(memoryTitleFrame(), tr("Memory"));
}

ProcessListView::ProcessListView(QWidget *parent) : QWidget(parent), m_model(new ProcessListModel(this))
{
    m_header = new ProcessListHeader;
    connect(m_header->backButton(), &QAbstractButton::clicked, this, [this] {
        // Leaving the list may destroy or rebuild this view; call last.
        if (const std::function<void()> clear = m_clearFilter)
            clear();
    });

    m_list = new PaddedListView;
    m_list->setSideInset(sideInset);
    m_list->setCardHeight(ProcessRow::height());
    m_list->setBottomPadding(bottomPadding - ProcessRow::rowSpacing);
    m_list->setItemDelegate(new ProcessRowDelegate(*m_model, *m_list, m_list));
    m_list->setModel(m_model);
    m_list->setFocusPolicy(Qt::NoFocus);
    m_list->setAccessibleName(tr("Processes"));

    m_empty = new QLabel(tr("No matching processes"));
    m_empty->setFont(Theme::font(Theme::TextStyle::caption));
    QPalette pal = m_empty->palette();
    pal.setColor(QPalette::WindowText, Theme::secondaryLabel());
    m_empty->setPalette(pal);
    auto *emptyPage = new QWidget;
    auto *emptyLayout = new QVBoxLayout(emptyPage);
    emptyLayout->setContentsMargins(sideInset, 0, sideInset, bottomPadding);
    emptyLayout->addWidget(m_empty);
    emptyLayout->addStretch();

    auto *headerRow = new QVBoxLayout;
    headerRow->setContentsMargins(sideInset, 0, sideInset, 0);
    headerRow->addWidget(m_header);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(headerSpacing);
    layout->addLayout(headerRow);
    m_stack = new QStackedLayout;
    m_stack->addWidget(m_list);
    m_stack->addWidget(emptyPage);
    layout->addLayout(m_stack, 1);
}

void ProcessListView::setContent(const AppMetric &app, const QList<ProcessMetric> &processes,
                                 std::function<void()> clearFilter)
{
    m_clearFilter = std::move(clearFilter);
    m_header->setAppName(app.name);
    m_model->setItems(processes);
    m_stack->setCurrentIndex(processes.isEmpty() ? 1 : 0);
}

bool ProcessListView::isShowingEmptyText() const
{
    return m_stack->currentIndex() == 1;
}

} // namespace pelmora
