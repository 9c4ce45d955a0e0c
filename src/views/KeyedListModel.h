// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QSet>

namespace pelmora {

// A list model of value records identified by a key. A new list is applied as
// removals, moves, insertions and single-row changes, never as a reset, so
// the view keeps its scroll position, hover and persistent indexes, and only
// rows whose record changed are repainted.
template<class Item, class Key> class KeyedListModel : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;

    const QList<Item> &items() const { return m_items; }
    const Item &itemAt(int row) const { return m_items.at(row); }

    int rowOf(const Key &key) const
    {
        for (int row = 0; row < m_items.size(); ++row) {
            if (keyOf(m_items.at(row)) == key)
                return row;
        }
        return -1;
    }

    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : int(m_items.size()); }

    void setItems(const QList<Item> &wanted)
    {
        removeMissing(wanted);
        // Every remaining row is wanted: walk the wanted order, moving or
        // inserting so that rows [0, i] match it.
        for (int i = 0; i < wanted.size(); ++i) {
            const Item &item = wanted.at(i);
            const Key key = keyOf(item);
            int from = -1;
            for (int j = i; j < m_items.size(); ++j) {
                if (keyOf(m_items.at(j)) == key) {
                    from = j;
                    break;
                }
            }
            if (from < 0) {
                this->beginInsertRows({}, i, i);
                m_items.insert(i, item);
                this->endInsertRows();
                continue;
            }
            if (from != i) {
                this->beginMoveRows({}, from, from, {}, i);
                m_items.move(from, i);
                this->endMoveRows();
            }
            if (!(m_items.at(i) == item)) {
                m_items[i] = item;
                emit this->dataChanged(this->index(i), this->index(i));
            }
        }
        // Only reachable when the wanted list repeats a key.
        if (m_items.size() > wanted.size()) {
            this->beginRemoveRows({}, int(wanted.size()), int(m_items.size()) - 1);
            m_items.resize(wanted.size());
            this->endRemoveRows();
        }
    }

protected:
    virtual Key keyOf(const Item &item) const = 0;

private:
    void removeMissing(const QList<Item> &wanted)
    {
        QSet<Key> kept;
        for (const Item &item : wanted)
            kept.insert(keyOf(item));
        // From the end, one contiguous run at a time.
        int last = int(m_items.size()) - 1;
        while (last >= 0) {
            if (kept.contains(keyOf(m_items.at(last)))) {
                --last;
                continue;
            }
            int first = last;
            while (first > 0 && !kept.contains(keyOf(m_items.at(first - 1))))
                --first;
            this->beginRemoveRows({}, first, last);
            m_items.remove(first, last - first + 1);
            this->endRemoveRows();
            last = first - 1;
        }
    }

    QList<Item> m_items;
};

} // namespace pelmora
