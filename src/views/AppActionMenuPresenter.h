// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QHash>
#include <QObject>
#include <QPoint>
#include <QSet>
#include <QString>

#include <functional>
#include <optional>

class QAction;
class QMenu;

namespace pelmora {

// The pop-up menu of an application row: "Show all <name> processes" and
// "Quit <name>", the name isolated from the words around it. The row asks for it by setting its flag and calling update();
// the menu is built and shown one event-loop turn later, and only if, at that
// moment, the flag is still set, no menu of that row is open and the row is on
// screen. When the menu closes the flag is cleared first, then the chosen
// command runs.
class AppActionMenuPresenter : public QObject {
    Q_OBJECT

public:
    // The row's side, as it is when update() is called. The newest one wins.
    struct Row {
        QString appName;
        qsizetype processCount = 0;
        std::function<bool()> isPresented; // the row's flag
        std::function<void()> dismiss; // clears the row's flag
        std::function<std::optional<QPoint>()> anchor; // global bottom-left of the row; none when off screen
        std::function<void()> showProcesses;
        std::function<void()> quitApp;
    };

    // Shows `menu` with its top-left at `globalPos`, returns once it has
    // closed, with the chosen action (or null). The default runs QMenu::exec;
    // tests replace it.
    using MenuRunner = std::function<QAction *(QMenu &menu, QPoint globalPos)>;

    explicit AppActionMenuPresenter(QObject *parent = nullptr);

    void setMenuRunner(MenuRunner runner);

    // Called after every change of the row identified by `key`.
    void update(const QString &key, Row row);
    void forget(const QString &key);

    // Where the menu goes: 8 units in from the row's bottom-left corner.
    static QPoint menuPosition(QPoint rowBottomLeft);
    static QString showProcessesTitle(const QString &appName);
    static QString quitTitle(const QString &appName);

private:
    void requestShowMenu(const QString &key);
    void showMenu(const QString &key, const Row &row);

    MenuRunner m_runner;
    QHash<QString, Row> m_rows;
    QSet<QString> m_visible;
};

} // namespace pelmora
