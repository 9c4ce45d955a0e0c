// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "CardWidget.h"
#include "FigureColumns.h"
#include "models/AppMetric.h"

#include <QWidget>

#include <functional>

class QLabel;
class QListView;

namespace pelmora {

class ProcessListModel;
class SymbolButton;

// The header card of the process list: a back button, the application's
// name cut at the end, and the titles of the two figure columns.
class ProcessListHeader : public CardWidget {
    Q_OBJECT

public:
    static constexpr int horizontalPadding = 8;
    static constexpr int verticalPadding = 7;
    static constexpr int spacing = 8;
    static constexpr int backSide = 26;

    explicit ProcessListHeader(QWidget *parent = nullptr);

    void setAppName(const QString &name);
    SymbolButton *backButton() const { return m_back; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintContent(QPainter &painter) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // In this widget's coordinates.
    FigureColumns figureColumns() const;
    qreal nameLeft() const;
    QString shownName() const;

    SymbolButton *m_back = nullptr;
    QString m_name;
};

// One application's processes, as the popover's scrolling content: the
// header card, then one painted row per process or "No matching processes".
// The whole view scrolls, header included; its height follows from the
// number of rows alone, and only the rows in view are painted.
class ProcessListView : public QWidget {
    Q_OBJECT

public:
    static constexpr int sideInset = 18;
    static constexpr int bottomPadding = 12;
    static constexpr int headerSpacing = 10;

    explicit ProcessListView(QWidget *parent = nullptr);

    void setContent(const AppMetric &app, const QList<ProcessMetric> &processes, std::function<void()> clearFilter);

    // The application shown, by AppMetric.id.
    const QString &appID() const { return m_appID; }
    ProcessListHeader *header() const { return m_header; }
    QListView *listView() const { return m_list; }
    QLabel *emptyLabel() const { return m_empty; }
    const ProcessListModel &model() const { return *m_model; }
    bool isShowingEmptyText() const;
    // A row's card, in the list's viewport coordinates.
    static QRect cardRect(const QRect &itemRect);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    ProcessListHeader *m_header = nullptr;
    ProcessListModel *m_model = nullptr;
    QListView *m_list = nullptr;
    QLabel *m_empty = nullptr;
    QString m_appID;
    std::function<void()> m_clearFilter;
};

} // namespace pelmora
