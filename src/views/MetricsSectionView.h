// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "AppActionMenuPresenter.h"
#include "listlogic/AppListActions.h"
#include "models/AppMetric.h"

#include <QSet>
#include <QWidget>

#include <optional>

class QLabel;
class QStackedLayout;

namespace pelmora {

class AppListModel;
class AppRowDelegate;
class PaddedListView;

// The application list: one painted row per application, or "No process
// data". A click on a row (press and release on the same row) asks for its
// action menu; while that is wanted the store's refreshes are paused. Hover
// and menu state belong to the application id, so they survive refreshes
// that move or change the row.
class MetricsSectionView : public QWidget {
    Q_OBJECT

public:
    static constexpr int sideInset = 18;

    explicit MetricsSectionView(QWidget *parent = nullptr);
    ~MetricsSectionView() override;

    // Rebuilds from the popover's state; rows update in place by id.
    void setContent(AppMetricKind metric, const QList<AppMetric> &apps, const AppListActions &actions);

    AppActionMenuPresenter &menuPresenter() { return *m_presenter; }

    bool isHovering(const QString &appID) const { return m_hoveredID == appID; }
    bool showsActions(const QString &appID) const { return m_showsActions.contains(appID); }
    bool isHighlighted(const QString &appID) const { return isHovering(appID) || showsActions(appID); }

    // What a click on the row does: asks for its action menu.
    void requestActions(const QString &appID);
    // Sets the row's menu flag; every change pauses or resumes refreshing once.
    void setShowsActions(const QString &appID, bool shows);

    PaddedListView *listView() const { return m_list; }
    QLabel *emptyLabel() const { return m_empty; }
    const AppListModel &model() const { return *m_model; }
    // The row's card in this widget's coordinates; empty when not listed.
    QRect cardRect(const QString &appID) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setHoveredID(std::optional<QString> appID);
    void updateRow(const QString &appID);
    void updatePresenter(const QString &appID);
    std::optional<QPoint> anchorOf(const QString &appID) const;

    AppListModel *m_model = nullptr;
    PaddedListView *m_list = nullptr;
    AppRowDelegate *m_delegate = nullptr;
    QLabel *m_empty = nullptr;
    QStackedLayout *m_stack = nullptr;
    AppActionMenuPresenter *m_presenter = nullptr;
    AppListActions m_actions;
    std::optional<QString> m_hoveredID;
    std::optional<QString> m_pressedID; // the row a left press began on
    QSet<QString> m_showsActions;
};

} // namespace pelmora
