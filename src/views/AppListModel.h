// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "KeyedListModel.h"
#include "models/AppMetric.h"

namespace pelmora {

// The applications of the list, keyed by AppMetric.id. Each row's tooltip and
// accessible text say what a click on it does.
class AppListModel : public KeyedListModel<AppMetric, QString> {
    Q_OBJECT

public:
    enum Role { AppIDRole = Qt::UserRole + 1 };

    using KeyedListModel::KeyedListModel;

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

protected:
    QString keyOf(const AppMetric &app) const override { return app.id; }
};

} // namespace pelmora
