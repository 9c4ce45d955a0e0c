// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "QuitAnswerBar.h"

#include "IsolatedText.h"
#include "SymbolButton.h"
#include "Theme.h"
#include "stores/MetricsStore.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

namespace pelmora {

QuitAnswerBar::QuitAnswerBar(MetricsStore &store, QWidget *parent)
    : CardWidget(Theme::card(Theme::Card::quitAnswer), parent), m_store(store)
{
    m_message = new QLabel;
    m_message->setWordWrap(true);
    m_message->setFont(Theme::font(Theme::TextStyle::callout));
    m_message->setTextFormat(Qt::PlainText);
    QPalette palette = m_message->palette();
    palette.setColor(QPalette::WindowText, Theme::primaryLabel());
    m_message->setPalette(palette);

    SymbolButton::Face face;
    face.symbol = Symbol::xmark;
    face.pointSize = 11;
    face.colour = Theme::secondaryLabel();
    face.size = QSize(18, 18);
    m_dismiss = new SymbolButton(face);
    //: Closes the line that says why an application could not be asked to quit.
    m_dismiss->setAccessibleName(tr("Dismiss"));
    connect(m_dismiss, &QAbstractButton::clicked, this, &QuitAnswerBar::dismiss);

    m_end = new LabelButton(Symbol::power, confirmTitle(), Theme::systemRed()); // named for the application once shown
    m_cancel = new LabelButton(Symbol::xmark, cancelTitle(), Theme::secondaryLabel());
    m_confirm = new LabelButton(Symbol::power, confirmTitle(), Theme::systemRed());
    connect(m_end, &QAbstractButton::clicked, this, &QuitAnswerBar::showConfirmation);
    connect(m_cancel, &QAbstractButton::clicked, this, &QuitAnswerBar::showAnswer);
    connect(m_confirm, &QAbstractButton::clicked, this, &QuitAnswerBar::endApp);

    auto *top = new QHBoxLayout;
    top->setSpacing(8);
    top->addWidget(m_message, 1);
    top->addWidget(m_dismiss, 0, Qt::AlignTop);
    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(16);
    buttons->addStretch(1);
    buttons->addWidget(m_end);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_confirm);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 9, 12, 9);
    layout->setSpacing(8);
    layout->addLayout(top);
    layout->addLayout(buttons);

    setVisible(false);
    connect(&store, &MetricsStore::quitAnswered, this, &QuitAnswerBar::present);
}

QString QuitAnswerBar::answerText(const QuitOutcome &outcome)
{
    const QString name = isolated(outcome.appName);
    if (outcome.kind != QuitOutcome::Kind::noRoute)
        return {};
    switch (outcome.reason) {
    case QuitOutcome::Reason::otherUsers:
        return tr("%1 runs as another user; Pelmora does not ask it to quit.").arg(name);
    case QuitOutcome::Reason::windowSystemSilent:
        return tr("This desktop does not let Pelmora ask %1 to quit.").arg(name);
    case QuitOutcome::Reason::forceOnly:
        return tr("The windows of %1 can only be closed by force.").arg(name);
    case QuitOutcome::Reason::unseenWindows:
    case QuitOutcome::Reason::none:
        break;
    }
    return tr("%1 has no Quit command or window that Pelmora can reach.").arg(name);
}

QString QuitAnswerBar::endTitle(const QString &appName)
{
    //: Ends an application at once (SIGTERM), for one that cannot be asked to quit.
    return tr("End %1…").arg(isolated(appName));
}

QString QuitAnswerBar::confirmationText(const QString &appName)
{
    return tr("End %1? Unsaved work in it may be lost.").arg(isolated(appName));
}

QString QuitAnswerBar::confirmTitle()
{
    //: Confirms ending an application at once.
    return tr("End");
}

QString QuitAnswerBar::cancelTitle()
{
    return tr("Cancel");
}

void QuitAnswerBar::present(const QuitOutcome &outcome)
{
    if (outcome.kind != QuitOutcome::Kind::noRoute) {
        dismiss();
        return;
    }
    m_outcome = outcome;
    m_end->setText(endTitle(outcome.appName));
    m_end->setAccessibleName(m_end->text());
    // The window may be hidden now: the answer waits for it, until it closes again.
    if (QWidget *host = window(); host && host != this)
        host->installEventFilter(this);
    showAnswer();
}

void QuitAnswerBar::showAnswer()
{
    if (!m_outcome)
        return;
    m_confirming = false;
    m_message->setText(answerText(*m_outcome));
    const bool canEnd = m_outcome->canEnd;
    m_end->setVisible(canEnd);
    m_cancel->setVisible(false);
    m_confirm->setVisible(false);
    m_end->updateGeometry();
    setVisible(true);
    // Focus takes a screen reader to the answer: the button it lands on says it.
    QAbstractButton *first = canEnd ? static_cast<QAbstractButton *>(m_end) : m_dismiss;
    first->setAccessibleDescription(m_message->text());
    first->setFocus(Qt::OtherFocusReason);
}

void QuitAnswerBar::showConfirmation()
{
    if (!m_outcome || !m_outcome->canEnd)
        return;
    m_confirming = true;
    m_message->setText(confirmationText(m_outcome->appName));
    m_end->setVisible(false);
    m_cancel->setVisible(true);
    m_confirm->setVisible(true);
    m_confirm->setAccessibleDescription(m_message->text());
    m_cancel->setAccessibleDescription(m_message->text());
    // The safe choice has the focus: Return alone does not end anything.
    m_cancel->setFocus(Qt::OtherFocusReason);
}

void QuitAnswerBar::endApp()
{
    if (!m_confirming || !m_outcome)
        return;
    const QString appId = m_outcome->appId;
    dismiss();
    m_store.endApp(appId);
}

void QuitAnswerBar::dismiss()
{
    m_outcome.reset();
    m_confirming = false;
    if (QWidget *host = window(); host && host != this)
        host->removeEventFilter(this);
    setVisible(false);
}

void QuitAnswerBar::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (auto *button = qobject_cast<QAbstractButton *>(focusWidget()); button && isAncestorOf(button)) {
            button->click();
            return;
        }
        break;
    case Qt::Key_Escape:
        if (m_confirming) {
            showAnswer();
        } else {
            dismiss(); // hiding the focused button hands focus on
        }
        return;
    default:
        break;
    }
    CardWidget::keyPressEvent(event);
}

bool QuitAnswerBar::eventFilter(QObject *watched, QEvent *event)
{
    // An answer seen once goes with the panel that showed it.
    if (watched == window() && event->type() == QEvent::Hide && isVisible())
        dismiss();
    return CardWidget::eventFilter(watched, event);
}

} // namespace pelmora
