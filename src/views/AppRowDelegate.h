// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "models/AppMetricKind.h"

#include <QStyledItemDelegate>

#include <functional>

namespace pelmora {

class AppListModel;
class PaddedListView;

// Paints application rows; holds no state of its own. Whether a row is
// highlighted is asked of the section, by application id. Each row is a card
// and the gap below it; the last one has the list's bottom padding instead.
class AppRowDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    static constexpr int rowSpacing = 6;
    static constexpr int bottomPadding = 12;

    AppRowDelegate(const AppListModel &model, const PaddedListView &view,
                   std::function<bool(const QString &appID)> isHighlighted, QObject *parent = nullptr);

    void setEmphasizedMetric(AppMetricKind metric) { m_emphasized = metric; }
    AppMetricKind emphasizedMetric() const { return m_emphasized; }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    const AppListModel &m_model;
    const PaddedListView &m_view;
    std::function<bool(const QString &)> m_isHighlighted;
    AppMetricKind m_emphasized = AppMetricKind::cpu;
};

} // namespace pelmora
