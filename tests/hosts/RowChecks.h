// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QImage>
#include <QProcess>
#include <QRect>
#include <QStringList>

#include <functional>

// What the host matrix checks the same way in its X11 and Wayland rows: where
// the panel opened, where keys typed into it went, and what the quit service
// made of a program.
namespace hostrows {

// The quit service as the panel runs it (pelmora_askquit PID), and the window
// that records every key it gets (pelmora_keylog FILE).
extern const QString askQuitProgram;
extern const QString keyLogProgram;

inline void wait(int ms)
{
    for (QDeadlineTimer deadline(ms); !deadline.hasExpired();)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

template<typename F> bool waitFor(F condition, int ms)
{
    for (QDeadlineTimer deadline(ms); !deadline.hasExpired(); wait(100))
        if (condition())
            return true;
    return condition();
}

QString text(const QRect &r); // "x,y w×h"

// "x,y w×h: N px from the item, inside the free area x,y w×h".
QString placement(const QRect &panel, const QRect &item, const QRect &free);

// What a row does through the session's keyboard and screen.
struct Seat {
    std::function<QImage()> grab;
    std::function<bool(const QString &)> type;
    std::function<bool(const QStringList &)> keys;
};

// The window the user was typing into before the panel opened.
struct KeyRecorder {
    QString file; // where pelmora_keylog writes the keys it gets
    QProcess *process = nullptr;
    bool shown = false; // its window was found on the screen
    bool typedBefore = false; // it got the key typed after the click into it
    QByteArray kept; // what it had got when the panel opened

    QByteArray typed() const;
    bool focused() const; // it has the keyboard focus (pelmora_keylog says so in FILE.focus)
    // After the click into it (`clicked`): types "e" and waits for it to arrive.
    void takeKey(const Seat &seat, bool clicked);
};

// Types "zq" into the open panel at `panel`, then Tab, Down and Escape: did
// the search field change, what did the recorder get meanwhile (nothing more
// is right), and did Escape close it (`open` tells; a plain window is meant
// to stay open).
QString typeIntoPanel(const Seat &seat, const QRect &panel, const std::function<bool()> &open,
                      const KeyRecorder &recorder, bool escapeCloses = true);

// What came of asking `app` (`label`: its name and what it holds) to quit:
// `ask` starts pelmora_askquit for its pid in the session. The answer, and
// whether the program closed, was killed or signalled (work lost), asked a
// question (`windows`, where the session can count them, says more than its
// one window) or is still open; or that it had ended before it was asked.
QString quitResult(const QString &label, QProcess *app, const std::function<QProcess *(qint64)> &ask,
                   const std::function<int()> &windows);

} // namespace hostrows
