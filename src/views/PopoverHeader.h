// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QWidget>

class QLabel;

namespace pelmora {

class SummaryMetricView;
class SymbolButton;
struct MetricsSnapshot;

// The top of the popover: the gradient badge, the program's name over "System
// monitor", the close button, and the CPU and memory tiles.
class PopoverHeader : public QWidget {
    Q_OBJECT

public:
    static constexpr int badgeSide = 34;
    static constexpr int closeSide = 28;
    static constexpr int cpuTileWidth = 142;
    static constexpr int rowSpacing = 14;

    explicit PopoverHeader(QWidget *parent = nullptr);

    void showFigures(const MetricsSnapshot &snapshot);

    QLabel *titleLabel() const { return m_title; }
    SymbolButton *closeButton() const { return m_close; }
    SummaryMetricView *cpuTile() const { return m_cpu; }
    SummaryMetricView *memoryTile() const { return m_memory; }

signals:
    void closeClicked();

private:
    QLabel *m_title = nullptr;
    SymbolButton *m_close = nullptr;
    SummaryMetricView *m_cpu = nullptr;
    SummaryMetricView *m_memory = nullptr;
};

} // namespace pelmora
