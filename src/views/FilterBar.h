// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "CardWidget.h"

class QLineEdit;

namespace pelmora {

class SymbolButton;

// The search card: a magnifying glass, a borderless one-line field with the
// placeholder "Filter", and a clear button shown while the text, untrimmed,
// is not empty (a single space shows it, though it filters nothing).
class FilterBar : public CardWidget {
    Q_OBJECT

public:
    explicit FilterBar(QWidget *parent = nullptr);

    // Shows `text` unless the field already holds it (keeps the cursor).
    void setText(const QString &text);
    QString text() const;

    QLineEdit *field() const { return m_field; }
    SymbolButton *clearButton() const { return m_clear; }

    static bool showsClearButton(const QString &searchText) { return !searchText.isEmpty(); }

signals:
    // Every keystroke, and the clear button (with "").
    void textEdited(const QString &text);

private:
    QLineEdit *m_field = nullptr;
    SymbolButton *m_clear = nullptr;
};

} // namespace pelmora
