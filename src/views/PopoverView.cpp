// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "PopoverView.h"

#include "AppMetricRow.h"
#include "CardWidget.h"
#include "FilterBar.h"
#include "MetricColumnHeaderView.h"
#include "MetricsSectionView.h"
#include "PaddedListView.h"
#include "PopoverHeader.h"
#include "ProcessListView.h"
#include "QuitAnswerBar.h"
#include "ResizeHandle.h"
#include "ScrollingArea.h"
#include "SymbolButton.h"
#include "Theme.h"
#include "listlogic/AppListLogic.h"
#include "stores/MetricsStore.h"

#include <QLineEdit>
#include <QPainter>
#include <QScrollBar>
#include <QShowEvent>
#include <QStackedLayout>
#include <QVBoxLayout>

#include <cmath>

namespace pelmora {
namespace {

QWidget *padded(QWidget *content, int left, int top, int right, int bottom)
{
    auto *row = new QWidget;
    auto *layout = new QVBoxLayout(row);
    layout->setContentsMargins(left, top, right, bottom);
    layout->setSpacing(0);
    layout->addWidget(content);
    return row;
}

} // namespace

PopoverView::PopoverView(MetricsStore &store, const SettingsLocation &settings, QWidget *parent)
    : QWidget(parent), m_store(store), m_setting(settings), m_popoverHeight(m_setting.read())
{
    makeShadowHost(this);
    m_actions = makeAppListActions(
        m_state, [this] { requestRebuild(); }, [this](const AppMetric &app) { m_store.quit(app); },
        [this](bool paused) { m_store.setUpdatesPaused(paused); });
    // The process list takes the keyboard at its back button, however it was
    // opened and wherever focus was: the page switch hands focus on only from
    // inside the list's page.
    m_actions.showProcesses = [this, show = m_actions.showProcesses](const AppMetric &app) {
        show(app);
        if (isVisible() && isProcessListShown())
            m_processList->header()->backButton()->setFocus(Qt::OtherFocusReason);
    };

    m_header = new PopoverHeader;
    m_header->setObjectName(QStringLiteral("header"));
    connect(m_header, &PopoverHeader::closeClicked, this, &PopoverView::closeRequested);

    m_filterBar = new FilterBar;
    m_filterBar->setObjectName(QStringLiteral("filterBar"));
    connect(m_filterBar, &FilterBar::textEdited, this, [this](const QString &text) {
        m_state.searchText = text;
        requestRebuild();
    });

    // Below the search, where focus goes next: what a quit that could ask nothing says.
    m_quitAnswer = new QuitAnswerBar(m_store);
    m_quitAnswer->setObjectName(QStringLiteral("quitAnswer"));

    m_columnHeader = new MetricColumnHeaderView;
    m_columnHeader->setObjectName(QStringLiteral("columnHeader"));
    m_columnHeader->setSetMetric([this](AppMetricKind kind) { m_actions.setMetric(kind); });
    m_columnHeaderRow = padded(m_columnHeader, sidePadding, 0, sidePadding, 10);

    m_scrollingArea = new ScrollingArea;
    m_section = new MetricsSectionView;
    m_section->setObjectName(QStringLiteral("applications"));
    m_processList = new ProcessListView;
    m_processList->setObjectName(QStringLiteral("processList"));
    m_processScroller = new ContentScroller(m_processList);
    m_processScroller->setObjectName(QStringLiteral("processScroller"));
    m_content = new QStackedLayout(m_scrollingArea);
    m_content->setContentsMargins(0, 0, 0, 0);
    m_content->addWidget(m_section);
    m_content->addWidget(m_processScroller);

    m_refresh = new LabelButton(Symbol::arrowClockwise, tr("Refresh"), Theme::secondaryLabel());
    m_refresh->setObjectName(QStringLiteral("refreshButton"));
    connect(m_refresh, &QAbstractButton::clicked, &m_store, &MetricsStore::refresh);
    m_quit = new LabelButton(Symbol::power, tr("Quit"), Theme::secondaryLabel());
    m_quit->setObjectName(QStringLiteral("quitButton"));
    connect(m_quit, &QAbstractButton::clicked, this, &PopoverView::quitRequested);
    auto *footer = new QWidget;
    auto *footerLayout = new QHBoxLayout(footer);
    footerLayout->setContentsMargins(sidePadding, 10, sidePadding, 10);
    footerLayout->addWidget(m_refresh);
    footerLayout->addStretch(1);
    footerLayout->addWidget(m_quit);

    m_resizeHandle = new ResizeHandle;
    m_resizeHandle->setObjectName(QStringLiteral("resizeHandle"));
    connect(m_resizeHandle, &ResizeHandle::dragChanged, this, &PopoverView::onDragChanged);
    connect(m_resizeHandle, &ResizeHandle::dragEnded, this, &PopoverView::onDragEnded);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(padded(m_header, sidePadding, 18, sidePadding, 14));
    layout->addWidget(padded(m_filterBar, sidePadding, 0, sidePadding, 10));
    auto *answerRow = new QVBoxLayout; // takes no room while the answer is hidden
    answerRow->setContentsMargins(sidePadding, 0, sidePadding, 10);
    answerRow->addWidget(m_quitAnswer);
    layout->addLayout(answerRow);
    layout->addWidget(m_columnHeaderRow);
    layout->addWidget(m_scrollingArea, 1);
    layout->addWidget(new Divider);
    layout->addWidget(footer);
    layout->addWidget(m_resizeHandle);

    setFixedSize(popoverWidth, shownHeight());
    connect(&m_store, &MetricsStore::snapshotChanged, this, &PopoverView::requestRebuild);
    rebuild();
}

PopoverView::~PopoverView() = default;

int PopoverView::shownHeight() const
{
    return int(std::lround(PopoverResize::limited(m_popoverHeight, heightBounds())));
}

PopoverHeightBounds PopoverView::heightBounds() const
{
    if (!m_heightLimit)
        return {};
    // All but the list, and one row of it with the list's bottom padding.
    int compact = AppMetricRow::lineHeight() + 2 * AppMetricRow::verticalPadding + 12;
    for (int i = 0; i < layout()->count(); ++i)
        if (QWidget *row = layout()->itemAt(i)->widget(); row && row != m_scrollingArea && !row->isHidden())
            compact += row->sizeHint().height();
    return PopoverResize::boundsWithin(*m_heightLimit, compact);
}

void PopoverView::setHeightLimit(std::optional<int> limit)
{
    const int before = shownHeight();
    m_heightLimit = limit;
    applyShownHeight(before);
}

void PopoverView::applyShownHeight(int before)
{
    const int after = shownHeight();
    if (after == before)
        return;
    setFixedHeight(after);
    emit shownHeightChanged(after);
}

bool PopoverView::isProcessListShown() const
{
    return m_content->currentWidget() == m_processScroller;
}

void PopoverView::requestRebuild()
{
    // Nothing is built while hidden; showEvent catches up.
    if (isVisible())
        rebuild();
    else
        m_needsRebuild = true;
}

void PopoverView::showEvent(QShowEvent *event)
{
    if (m_needsRebuild)
        rebuild();
    // Each opening starts where the first one did, however long the program
    // has run: typing filters at once, as in a menu's search field; no row is
    // current until Tab reaches the list (which then makes the first one
    // current); focus is shown only once the keyboard moves it. A window the
    // system merely shows again (spontaneously) keeps its place.
    if (!event->spontaneous()) {
        m_section->listView()->setCurrentIndex(QModelIndex());
        window()->setAttribute(Qt::WA_KeyboardFocusChange, false);
        m_filterBar->field()->setFocus(Qt::OtherFocusReason);
    }
    QWidget::showEvent(event);
}

void PopoverView::rebuild()
{
    m_needsRebuild = false;
    const MetricsSnapshot &snapshot = m_store.snapshot();
    m_header->showFigures(snapshot);
    m_filterBar->setText(m_state.searchText);

    const std::optional<AppMetric> focused = AppListLogic::focusedApp(snapshot, m_state);
    m_columnHeaderRow->setVisible(!focused);
    m_columnHeader->setMetric(m_state.sortMetric);
    // Switching pages hands keyboard focus inside the old page on to the
    // new page's first control (QStackedLayout does that).
    if (focused) {
        // A process list opens at its top; refreshes keep where it is.
        const bool opens = m_content->currentWidget() != m_processScroller || m_processList->appID() != focused->id;
        m_processList->setContent(*focused, AppListLogic::filteredProcesses(*focused, m_state), m_actions.clearFilter);
        if (opens)
            m_processScroller->verticalScrollBar()->setValue(0);
        m_content->setCurrentWidget(m_processScroller);
    } else {
        m_section->setContent(m_state.sortMetric, AppListLogic::filteredApps(snapshot, m_state), m_actions);
        m_content->setCurrentWidget(m_section);
    }
}

void PopoverView::storeHeight(double height)
{
    const int before = shownHeight();
    m_popoverHeight = height;
    m_setting.write(height);
    applyShownHeight(before);
}

void PopoverView::onDragChanged(double translation)
{
    if (const std::optional<double> height = m_resize.dragChanged(m_popoverHeight, shownHeight(), translation,
                                                                  heightBounds()))
        storeHeight(*height);
}

void PopoverView::onDragEnded()
{
    if (const std::optional<double> height = m_resize.dragEnded())
        storeHeight(*height);
}

void PopoverView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Theme::windowBackground());
    paintCardShadows(painter, this);
}

} // namespace pelmora
