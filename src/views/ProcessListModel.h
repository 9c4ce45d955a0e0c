// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "KeyedListModel.h"
#include "models/ProcessMetric.h"

namespace pelmora {

// The processes of the focused application, keyed by process id.
class ProcessListModel : public KeyedListModel<ProcessMetric, qint32> {
    Q_OBJECT

public:
    using KeyedListModel::KeyedListModel;

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

protected:
    qint32 keyOf(const ProcessMetric &process) const override { return process.id; }
};

} // namespace pelmora
