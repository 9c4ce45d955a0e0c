// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "CardWidget.h"

#include "models/QuitOutcome.h"

#include <optional>

class QLabel;

namespace pelmora {

class LabelButton;
class MetricsStore;
class SymbolButton;

// The panel's answer when "Quit …" could ask nothing: one line that says
// why and, where the user's own processes of it remain, "End …", which
// ends them (SIGTERM) only after a confirmation that unsaved work may be
// lost. Hidden otherwise, and again once the panel closes. From the
// keyboard: focus lands on the answer's first button, Tab moves, Return
// presses, Escape steps back (confirmation, answer, gone).
class QuitAnswerBar : public CardWidget {
    Q_OBJECT

public:
    explicit QuitAnswerBar(MetricsStore &store, QWidget *parent = nullptr);

    // Shows what came of a quit; one that asked something needs no words.
    void present(const QuitOutcome &outcome);
    void dismiss();

    const std::optional<QuitOutcome> &outcome() const { return m_outcome; }
    bool isConfirming() const { return m_confirming; }
    QLabel *message() const { return m_message; }
    LabelButton *endButton() const { return m_end; }
    LabelButton *cancelButton() const { return m_cancel; }
    LabelButton *confirmButton() const { return m_confirm; }
    SymbolButton *dismissButton() const { return m_dismiss; }

    // The line for an outcome that asked nothing; empty for one that did.
    static QString answerText(const QuitOutcome &outcome);
    static QString endTitle(const QString &appName);
    static QString confirmationText(const QString &appName);
    static QString confirmTitle();
    static QString cancelTitle();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showAnswer();
    void showConfirmation();
    void endApp();

    MetricsStore &m_store;
    std::optional<QuitOutcome> m_outcome;
    bool m_confirming = false;
    QLabel *m_message = nullptr;
    SymbolButton *m_dismiss = nullptr;
    LabelButton *m_end = nullptr;
    LabelButton *m_cancel = nullptr;
    LabelButton *m_confirm = nullptr;
};

} // namespace pelmora
