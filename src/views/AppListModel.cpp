// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "AppListModel.h"

#include "IsolatedText.h"
#include "support/MetricFormatters.h"

namespace pelmora {

QVariant AppListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const AppMetric &app = itemAt(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return app.name;
    case Qt::ToolTipRole:
    case Qt::AccessibleTextRole:
        return tr("Show actions for %1").arg(isolated(app.name));
    case Qt::AccessibleDescriptionRole:
        // The painted figures, for screen readers.
        return tr("%1 CPU, %2 memory").arg(formattedProcessCPU(app.cpuPercent), formattedBytes(app.memoryBytes));
    case AppIDRole:
        return app.id;
    default:
        return {};
    }
}

} // namespace pelmora
