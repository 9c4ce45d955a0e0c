// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "MetricsSectionView.h"

#include "AppListModel.h"
#include "AppMetricRow.h"
#include "AppRowDelegate.h"
#include "PaddedListView.h"
#include "Theme.h"

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QStackedLayout>
#include <QVBoxLayout>

namespace pelmora {

MetricsSectionView::MetricsSectionView(QWidget *parent)
    : QWidget(parent), m_model(new AppListModel(this)), m_presenter(new AppActionMenuPresenter(this))
{
    m_list = new PaddedListView(this);
    m_list->setSideInset(sideInset);
    m_list->setCardHeight(AppMetricRow::height());
    m_delegate = new AppRowDelegate(
        *m_model, *m_list, [this](const QString &id) { return isHighlighted(id); }, this);
    m_list->setItemDelegate(m_delegate);
    m_list->setModel(m_model);
    m_list->setAccessibleName(tr("Applications"));
    m_list->viewport()->installEventFilter(this);
    connect(m_list, &PaddedListView::keyActivated, this,
            [this](const QModelIndex &index) { requestActions(m_model->itemAt(index.row()).id); });

    m_empty = new QLabel(tr("No process data"));
    m_empty->setFont(Theme::font(Theme::TextStyle::caption));
    QPalette pal = m_empty->palette();
    pal.setColor(QPalette::WindowText, Theme::secondaryLabel());
    m_empty->setPalette(pal);
    m_empty->setAlignment(Qt::AlignLeading | Qt::AlignTop);
    auto *emptyPage = new QWidget;
    auto *emptyLayout = new QVBoxLayout(emptyPage);
    emptyLayout->setContentsMargins(sideInset, 0, sideInset, AppRowDelegate::bottomPadding);
    emptyLayout->addWidget(m_empty);
    emptyLayout->addStretch();

    m_stack = new QStackedLayout(this);
    m_stack->setContentsMargins(0, 0, 0, 0);
    m_stack->addWidget(m_list);
    m_stack->addWidget(emptyPage);
    m_stack->setCurrentWidget(emptyPage);
}

MetricsSectionView::~MetricsSectionView() = default;

void MetricsSectionView::setContent(AppMetricKind metric, const QList<AppMetric> &apps, const AppListActions &actions)
{
    m_actions = actions;
    const bool metricChanged = m_delegate->emphasizedMetric() != metric;
    m_delegate->setEmphasizedMetric(metric);
    m_model->setItems(apps);

    // A row that left the list takes its state with it; a wanted menu is
    // withdrawn, which also resumes refreshing.
    QSet<QString> listed;
    for (const AppMetric &app : apps)
        listed.insert(app.id);
    if (m_hoveredID && !listed.contains(*m_hoveredID))
        m_hoveredID.reset();
    const QSet<QString> wanted = m_showsActions;
    for (const QString &id : wanted) {
        if (!listed.contains(id)) {
            setShowsActions(id, false);
            m_presenter->forget(id);
        }
    }
    // Rows still wanting their menu tell the presenter about their new state.
    for (const QString &id : std::as_const(m_showsActions))
        updatePresenter(id);

    m_stack->setCurrentIndex(apps.isEmpty() ? 1 : 0);
    if (metricChanged)
        m_list->viewport()->update();
}

void MetricsSectionView::requestActions(const QString &appID)
{
    setShowsActions(appID, true);
}

void MetricsSectionView::setShowsActions(const QString &appID, bool shows)
{
    if (shows == m_showsActions.contains(appID))
        return;
    if (shows)
        m_showsActions.insert(appID);
    else
        m_showsActions.remove(appID);
    updateRow(appID);
    if (m_actions.setUpdatesPaused)
        m_actions.setUpdatesPaused(shows);
    if (shows)
        updatePresenter(appID);
}

void MetricsSectionView::updatePresenter(const QString &appID)
{
    const int row = m_model->rowOf(appID);
    if (row < 0)
        return;
    const AppMetric app = m_model->itemAt(row);
    QPointer<MetricsSectionView> self(this);
    const AppListActions actions = m_actions;
    AppActionMenuPresenter::Row presenterRow;
    presenterRow.appName = app.name;
    presenterRow.processCount = app.processes.size();
    presenterRow.isPresented = [self, appID] { return self && self->showsActions(appID); };
    presenterRow.dismiss = [self, appID] {
        if (self)
            self->setShowsActions(appID, false);
    };
    presenterRow.anchor = [self, appID] { return self ? self->anchorOf(appID) : std::nullopt; };
    presenterRow.showProcesses = [actions, app] {
        if (actions.showProcesses)
            actions.showProcesses(app);
    };
    presenterRow.quitApp = [actions, app] {
        if (actions.quitApp)
            actions.quitApp(app);
    };
    m_presenter->update(appID, std::move(presenterRow));
}

std::optional<QPoint> MetricsSectionView::anchorOf(const QString &appID) const
{
    if (!isVisible() || !window() || !window()->isVisible())
        return std::nullopt;
    const QRect card = cardRect(appID);
    if (card.isEmpty())
        return std::nullopt;
    // QRect::bottom() is one short of the edge.
    return mapToGlobal(QPoint(card.left(), card.top() + card.height()));
}

QRect MetricsSectionView::cardRect(const QString &appID) const
{
    const int row = m_model->rowOf(appID);
    if (row < 0 || m_stack->currentIndex() != 0)
        return {};
    const QRect card = m_list->cardRect(m_model->index(row));
    return QRect(m_list->viewport()->mapTo(this, card.topLeft()), card.size());
}

void MetricsSectionView::updateRow(const QString &appID)
{
    const int row = m_model->rowOf(appID);
    if (row < 0)
        return;
    // The shadow reaches past the item, into its neighbours' rectangles.
    const int reach = 16;
    m_list->viewport()->update(m_list->visualRect(m_model->index(row)).adjusted(-reach, -reach, reach, reach));
}

void MetricsSectionView::setHoveredID(std::optional<QString> appID)
{
    if (appID == m_hoveredID)
        return;
    const std::optional<QString> old = std::exchange(m_hoveredID, std::move(appID));
    if (old)
        updateRow(*old);
    if (m_hoveredID)
        updateRow(*m_hoveredID);
}

bool MetricsSectionView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_list->viewport())
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseMove: {
        const QModelIndex index = m_list->cardAt(static_cast<QMouseEvent *>(event)->position().toPoint());
        setHoveredID(index.isValid() ? std::optional(m_model->itemAt(index.row()).id) : std::nullopt);
        break;
    }
    case QEvent::Leave:
        setHoveredID(std::nullopt);
        break;
    // A row is a button: pressed and released on the same application.
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton)
            break;
        const QModelIndex index = m_list->cardAt(mouse->position().toPoint());
        m_pressedID = index.isValid() ? std::optional(m_model->itemAt(index.row()).id) : std::nullopt;
        return true;
    }
    case QEvent::MouseButtonRelease: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton)
            break;
        const std::optional<QString> pressed = std::exchange(m_pressedID, std::nullopt);
        const QModelIndex index = m_list->cardAt(mouse->position().toPoint());
        if (index.isValid() && pressed == m_model->itemAt(index.row()).id) {
            m_list->setCurrentIndex(index);
            requestActions(*pressed);
        }
        return true;
    }
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace pelmora
