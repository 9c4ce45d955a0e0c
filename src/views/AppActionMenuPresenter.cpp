// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "AppActionMenuPresenter.h"

#include "IsolatedText.h"
#include "Symbols.h"
#include "Theme.h"

#include <QMenu>
#include <QPointer>

namespace pelmora {
namespace {

// Menu titles are shown as written; a literal '&' must not become a mnemonic.
QString literal(QString text)
{
    return text.replace(u'&', QStringLiteral("&&"));
}

} // namespace

AppActionMenuPresenter::AppActionMenuPresenter(QObject *parent)
    : QObject(parent), m_runner([](QMenu &menu, QPoint pos) { return menu.exec(pos); })
{
}

void AppActionMenuPresenter::setMenuRunner(MenuRunner runner)
{
    m_runner = std::move(runner);
}

QPoint AppActionMenuPresenter::menuPosition(QPoint rowBottomLeft)
{
    return rowBottomLeft + QPoint(8, 0);
}

QString AppActionMenuPresenter::showProcessesTitle(const QString &appName)
{
    return tr("Show all %1 processes").arg(isolated(appName));
}

QString AppActionMenuPresenter::quitTitle(const QString &appName)
{
    return tr("Quit %1").arg(isolated(appName));
}

void AppActionMenuPresenter::update(const QString &key, Row row)
{
    const bool wanted = row.isPresented && row.isPresented();
    m_rows.insert(key, std::move(row));
    if (wanted && !m_visible.contains(key))
        requestShowMenu(key);
}

void AppActionMenuPresenter::forget(const QString &key)
{
    m_rows.remove(key);
}

void AppActionMenuPresenter::requestShowMenu(const QString &key)
{
    // Never from inside the row's update: one turn of the event loop later,
    // checking the request again then.
    QMetaObject::invokeMethod(
        this,
        [this, key] {
            const auto it = m_rows.constFind(key);
            if (it == m_rows.cend() || m_visible.contains(key))
                return;
            const Row row = *it;
            if (!row.isPresented || !row.isPresented())
                return;
            if (!row.anchor || !row.anchor())
                return; // off screen: the flag stays set, a later update asks again
            showMenu(key, row);
        },
        Qt::QueuedConnection);
}

void AppActionMenuPresenter::showMenu(const QString &key, const Row &row)
{
    QMenu menu;
    const QColor iconColour = Theme::primaryLabel();
    QAction *show = menu.addAction(symbolIcon(Symbol::filterCircle, iconColour),
                                   literal(showProcessesTitle(row.appName)));
    show->setEnabled(row.processCount > 0);
    menu.addSeparator();
    QAction *quit = menu.addAction(symbolIcon(Symbol::power, iconColour), literal(quitTitle(row.appName)));

    const QPoint position = menuPosition(*row.anchor());
    m_visible.insert(key);
    QPointer<AppActionMenuPresenter> self(this);
    QAction *chosen = m_runner(menu, position);
    if (!self)
        return;
    m_visible.remove(key);
    if (row.dismiss)
        row.dismiss();
    if (chosen == show && show->isEnabled()) {
        if (row.showProcesses)
            row.showProcesses();
    } else if (chosen == quit) {
        if (row.quitApp)
            row.quitApp();
    }
}

} // namespace pelmora
