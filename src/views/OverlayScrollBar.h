// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QScrollBar>

class QAbstractScrollArea;

namespace pelmora {

// The thin vertical scroll bar of the popover's scrolling content, laid over
// the right side inset of `area` instead of beside its viewport. The area's
// own bar stays hidden and keeps doing the scrolling; this one mirrors it and
// shows exactly while there is something to scroll. The viewport is therefore
// always as wide as the area: no size in the area depends on whether the bar
// shows, so showing it can never change what it is shown for.
class OverlayScrollBar : public QScrollBar {
    Q_OBJECT

public:
    static constexpr int barWidth = 10;

    explicit OverlayScrollBar(QAbstractScrollArea *area);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void follow();
    void place();

    QAbstractScrollArea *m_area;
};

} // namespace pelmora
