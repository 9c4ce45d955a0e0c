// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "models/AppMetricKind.h"

#include "CardWidget.h"

#include <QAbstractButton>

#include <functional>

namespace pelmora {

// An invisible, clickable region of the column header.
class SortHitArea : public QAbstractButton {
    Q_OBJECT

public:
    SortHitArea(AppMetricKind kind, QWidget *parent = nullptr);
    AppMetricKind kind() const { return m_kind; }
    // "Sort by app", "Sort by CPU", "Sort by memory".
    static QString tooltip(AppMetricKind kind);

protected:
    // The header draws the labels, and the focus ring around the one whose
    // region has focus.
    void paintEvent(QPaintEvent *) override { }
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    // Checked marks the active column for assistive tools; only the header
    // changes it, a click does not toggle it.
    void nextCheckState() override { }

private:
    AppMetricKind m_kind;
};

// The column header card above the application list: "Apps", "%CPU" and
// "Memory", the active one primary with a down chevron. Three invisible
// regions over it (the rest of the width, 96 and 112 wide) choose the column;
// they are deliberately wider than the labels they cover.
class MetricColumnHeaderView : public CardWidget {
    Q_OBJECT

public:
    static constexpr int minimumHeaderHeight = 40;
    static constexpr int horizontalPadding = 10;
    static constexpr int verticalPadding = 7;
    static constexpr int spacing = 8;
    static constexpr int trailingPadding = 8; // after the memory label
    static constexpr int appLabelWidth = 90;
    static constexpr int memoryLabelWidth = 82; // the CPU label is as wide as its column
    static constexpr int cpuHitWidth = 96;
    static constexpr int memoryHitWidth = 112;

    explicit MetricColumnHeaderView(QWidget *parent = nullptr);

    void setMetric(AppMetricKind metric);
    AppMetricKind metric() const { return m_metric; }
    void setSetMetric(std::function<void(AppMetricKind)> setMetric) { m_setMetric = std::move(setMetric); }

    SortHitArea *hitArea(AppMetricKind kind) const;
    // "Apps", "%CPU", "Memory".
    static QString title(AppMetricKind kind);
    // The frame of a column's label, in this widget's coordinates.
    QRectF labelFrame(AppMetricKind kind) const;
    // Where the label's text and chevron are drawn.
    QRectF labelInk(AppMetricKind kind) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    using QWidget::metric; // the paint-device query, not hidden by metric() above
    void paintContent(QPainter &painter) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void paintLabel(QPainter &painter, const QString &title, AppMetricKind kind) const;

    AppMetricKind m_metric = AppMetricKind::cpu;
    std::function<void(AppMetricKind)> m_setMetric;
    SortHitArea *m_hitAreas[3] = {};
};

} // namespace pelmora
