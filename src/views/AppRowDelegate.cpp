// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "AppRowDelegate.h"

#include "AppListModel.h"
#include "AppMetricRow.h"
#include "PaddedListView.h"

#include <QPainter>

namespace pelmora {

AppRowDelegate::AppRowDelegate(const AppListModel &model, const PaddedListView &view,
                               std::function<bool(const QString &)> isHighlighted, QObject *parent)
    : QStyledItemDelegate(parent), m_model(model), m_view(view), m_isHighlighted(std::move(isHighlighted))
{
}

void AppRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    if (!index.isValid() || index.row() >= m_model.rowCount())
        return;
    const AppMetric &app = m_model.itemAt(index.row());
    const bool highlighted = (m_isHighlighted && m_isHighlighted(app.id)) || m_view.isKeyboardCurrent(index);
    AppMetricRow::paint(*painter, m_view.cardRect(option.rect), app, m_emphasized, highlighted);
}

QSize AppRowDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &index) const
{
    const bool isLast = index.row() == m_model.rowCount() - 1;
    return QSize(1, AppMetricRow::height() + (isLast ? bottomPadding : rowSpacing));
}

} // namespace pelmora
