// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "PopoverResize.h"
#include "listlogic/AppListActions.h"
#include "listlogic/AppListState.h"
#include "support/PopoverHeightSetting.h"

#include <QWidget>

#include <memory>
#include <optional>

class QStackedLayout;

namespace pelmora {

class ContentScroller;
class FilterBar;
class LabelButton;
class MetricColumnHeaderView;
class MetricsSectionView;
class MetricsStore;
class PopoverHeader;
class ProcessListView;
class QuitAnswerBar;
class ResizeHandle;
class ScrollingArea;

// The whole content of the popover window, 440 wide and as high as the stored
// height allows: header and tiles, search card, pinned column header, the
// application list or one application's processes, and the footer with the
// resize strip. It reads the store and keeps the list state; while hidden it
// only notes that the store changed and catches up when shown again. Its
// parts carry object names ("header", "filterBar", "quitAnswer",
// "columnHeader", "applications", "processScroller", "processList",
// "refreshButton", "quitButton", "resizeHandle").
class PopoverView : public QWidget {
    Q_OBJECT

public:
    static constexpr int popoverWidth = 440;
    static constexpr int sidePadding = 18;

    PopoverView(MetricsStore &store, const SettingsLocation &settings, QWidget *parent = nullptr);
    ~PopoverView() override;

    // The strip at the bottom: a window watches it so a drag stops at the screen's edge.
    ResizeHandle *resizeHandle() const { return m_resizeHandle; }
    // The tallest the popover may be shown, such as its screen's available
    // height; nothing stored changes with it.
    void setHeightLimit(std::optional<int> limit);

signals:
    // The close button: the hosting window should close; the program goes on.
    void closeRequested();
    // The footer's Quit: the program should terminate.
    void quitRequested();
    // The shown height changed; the hosting window follows it.
    void shownHeightChanged(int height);

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    // The stored height (m_popoverHeight, unlimited) within 360..760, and no
    // taller than the height limit (with a lower floor where that leaves
    // little room; see PopoverResize::boundsWithin).
    int shownHeight() const;
    PopoverHeightBounds heightBounds() const;
    bool isProcessListShown() const;
    void requestRebuild();
    void rebuild();
    void storeHeight(double height);
    void applyShownHeight(int before);
    void onDragChanged(double translation);
    void onDragEnded();

    MetricsStore &m_store;
    PopoverHeightSetting m_setting;
    double m_popoverHeight = PopoverResize::defaultHeight;
    std::optional<int> m_heightLimit;
    PopoverResize m_resize;
    AppListState m_state;
    AppListActions m_actions;
    bool m_needsRebuild = true;

    PopoverHeader *m_header = nullptr;
    FilterBar *m_filterBar = nullptr;
    QuitAnswerBar *m_quitAnswer = nullptr;
    QWidget *m_columnHeaderRow = nullptr;
    MetricColumnHeaderView *m_columnHeader = nullptr;
    ScrollingArea *m_scrollingArea = nullptr;
    QStackedLayout *m_content = nullptr;
    MetricsSectionView *m_section = nullptr;
    ProcessListView *m_processList = nullptr;
    ContentScroller *m_processScroller = nullptr;
    LabelButton *m_refresh = nullptr;
    LabelButton *m_quit = nullptr;
    ResizeHandle *m_resizeHandle = nullptr;
};

} // namespace pelmora
