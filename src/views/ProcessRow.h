// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "FigureColumns.h"
#include "models/ProcessMetric.h"

#include <QRectF>
#include <QString>

class QPainter;

namespace pelmora {

// One process row of the process list, painted: a gear badge, the process's
// own name cut in the middle, and its figures, always secondary and regular.
struct ProcessRow {
    static constexpr int horizontalPadding = 10;
    static constexpr int verticalPadding = 6;
    static constexpr int minimumHeight = 34;
    static constexpr int spacing = 8; // between the badge and the name
    static constexpr int iconSide = 24;
    static constexpr int rowSpacing = 4;

    struct Layout {
        QRectF icon;
        QRectF name;
        FigureColumns figures;
        QString shownName;
    };

    static int height();
    static Layout layout(const QRectF &card, const QString &name);
    static void paint(QPainter &painter, const QRectF &card, const ProcessMetric &process);
};

} // namespace pelmora
