// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "RowChecks.h"

#include "testsupport/ScreenPatches.h"
#include "testsupport/SignalCheck.h"
#include "views/PopoverFixture.h"
#include "views/PopoverView.h"

#include <QFile>
#include <QLayout>

#include <cmath>

namespace hostrows {

const QString askQuitProgram = QStringLiteral(PELMORA_BINARY_DIR "/tests/helpers/pelmora_askquit");
const QString keyLogProgram = QStringLiteral(PELMORA_BINARY_DIR "/tests/helpers/pelmora_keylog");

namespace {

int distance(const QRect &a, const QRect &b)
{
    const int dx = std::max({0, b.left() - a.right() - 1, a.left() - b.right() - 1});
    const int dy = std::max({0, b.top() - a.bottom() - 1, a.top() - b.bottom() - 1});
    return int(std::lround(std::hypot(dx, dy)));
}

// Where the search field sits in the panel: the same widgets, offscreen.
QRect searchField()
{
    PopoverFixture fixture;
    pelmora::PopoverView view(*fixture.store, fixture.settings());
    view.layout()->activate();
    QWidget *field = view.findChild<QWidget *>(QStringLiteral("filterBar"));
    return QRect(field->mapTo(&view, QPoint()), field->size());
}

// Why the recorder got no key before the panel opened.
QString recorderState(const KeyRecorder &recorder)
{
    QProcess *process = recorder.process;
    if (!process)
        return QStringLiteral("it did not start");
    if (!recorder.shown)
        return QStringLiteral("its window is not on the screen");
    if (process->state() != QProcess::Running)
        return QStringLiteral("it ended (%1 %2): %3")
            .arg(process->exitStatus() == QProcess::CrashExit ? "signal" : "exit")
            .arg(process->exitCode())
            .arg(QString::fromLocal8Bit(process->readAllStandardError()).simplified().right(240));
    return QStringLiteral("it runs; it got \"%1\"").arg(QString::fromUtf8(recorder.typed()));
}

} // namespace

QString text(const QRect &r)
{
    return QStringLiteral("%1,%2 %3×%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

QString placement(const QRect &panel, const QRect &item, const QRect &free)
{
    return QStringLiteral("%1: %2 px from the item, %3 the free area %4")
        .arg(text(panel))
        .arg(distance(panel, item))
        .arg(free.contains(panel) ? "inside" : "OUTSIDE", text(free));
}

QByteArray KeyRecorder::typed() const
{
    QFile in(file);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("<unreadable>");
}

bool KeyRecorder::focused() const
{
    QFile in(file + ".focus");
    return in.open(QIODevice::ReadOnly) && in.readAll() == "in";
}

void KeyRecorder::takeKey(const Seat &seat, bool clicked)
{
    typedBefore = clicked && seat.type("e") && waitFor([&] { return typed() == "e"; }, 15000);
    kept = typed();
}

QString typeIntoPanel(const Seat &seat, const QRect &panel, const std::function<bool()> &open,
                      const KeyRecorder &recorder, bool escapeCloses)
{
    const QRect field = searchField().translated(panel.topLeft());
    const QImage before = seat.grab();
    if (!seat.type("zq"))
        return QStringLiteral("could not type");
    const bool reached = waitFor([&] { return pelmora::changedPixels(before, seat.grab(), field) > 30; }, 5000);
    seat.keys({"Tab", "Down", "Escape"});
    const bool closed = waitFor([&] { return !open(); }, escapeCloses ? 5000 : 1500);
    const QByteArray after = recorder.typed();
    const QString editor = !after.startsWith(recorder.kept) ? QStringLiteral("LOST ITS TEXT")
        : after.size() > recorder.kept.size() ? "GOT \"" + QString::fromUtf8(after.mid(recorder.kept.size())) + "\""
                                              : QStringLiteral("got none");
    const QString escape = escapeCloses ? (closed ? "closed it" : "did NOT close it")
                                        : (closed ? "CLOSED the window" : "left the window open");
    return QStringLiteral("%1; the window focused before %2 (%3); Escape %4")
        .arg(reached ? "search field got them" : "NOT IN THE SEARCH FIELD", editor,
             recorder.typedBefore ? QStringLiteral("it had got a key typed before")
                                  : "it had NOT got a key typed before: " + recorderState(recorder),
             escape);
}

QString quitResult(const QString &label, QProcess *app, const std::function<QProcess *(qint64)> &ask,
                   const std::function<int()> &windows)
{
    const qint64 pid = app->processId();
    const auto ending = [](QProcess *process) {
        return QStringLiteral("%1 %2: %3")
            .arg(process->exitStatus() == QProcess::CrashExit ? "signal" : "exit")
            .arg(process->exitCode())
            .arg(QString::fromLocal8Bit(process->readAllStandardError()).simplified().right(160));
    };
    if (app->state() != QProcess::Running)
        return QStringLiteral("%1: ended before it was asked (%2)").arg(label, ending(app));
    QProcess *asking = ask(pid);
    QString answer = QStringLiteral("no answer");
    if (asking && asking->waitForFinished(15000))
        if (answer = QString::fromUtf8(asking->readAllStandardOutput().trimmed()); answer.isEmpty())
            answer = QStringLiteral("NO ANSWER (%1)").arg(ending(asking));
    QString outcome = QStringLiteral("still open");
    if (waitFor([&] { return app->state() != QProcess::Running; }, 5000))
        outcome = app->exitStatus() == QProcess::CrashExit ? QStringLiteral("KILLED")
            : app->exitCode() == 0                         ? QStringLiteral("closed")
                                                           : QStringLiteral("closed (exit %1)").arg(app->exitCode());
    else if (pelmora::wasSignalledToEnd(pid))
        outcome = QStringLiteral("SIGNALLED");
    else if (windows && windows() > 1)
        outcome = QStringLiteral("a question, still open");
    return QStringLiteral("%1: %2, %3").arg(label, answer, outcome);
}

} // namespace hostrows
