// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "FigureColumns.h"
#include "models/AppMetric.h"
#include "models/AppMetricKind.h"

#include <QRectF>
#include <QString>

#include <optional>

class QPainter;

namespace pelmora {

// One application row, painted: a card (highlighted while hovered or while
// its action menu is wanted) holding the metric line.
class AppMetricRow {
public:
    static constexpr int horizontalPadding = 10;
    static constexpr int verticalPadding = 7;
    static constexpr int minimumLineHeight = 24;
    static constexpr int countSpacing = 5;

    // Where the parts of a metric line go inside `line`.
    struct LineLayout {
        QRectF name;
        QRectF count; // empty when no count is shown
        FigureColumns figures;
        QString shownName; // cut in the middle when too long
        QString countText;
    };

    static int lineHeight();
    static int height(); // the card's height

    // Shown only for two processes or more, in plain digits ("1234").
    static std::optional<QString> countText(std::optional<qsizetype> processCount);

    static LineLayout lineLayout(const QRectF &line, const QString &name, std::optional<qsizetype> processCount,
                                 bool isProcess);

    static void paintMetricLine(QPainter &painter, const QRectF &line, const QString &name,
                                std::optional<qsizetype> processCount, double cpuPercent, quint64 memoryBytes,
                                bool isProcess, AppMetricKind emphasized);

    static void paint(QPainter &painter, const QRectF &card, const AppMetric &app, AppMetricKind emphasized,
                      bool isHighlighted);
};

} // namespace pelmora
