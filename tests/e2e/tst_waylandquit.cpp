// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Quit reaching Wayland-native applications, in headless sessions, through
// Pelmora's own quit service run inside the session (pelmora_askquit, as the
// panel's "Quit …" runs it). In sway, also with XWayland beside it,
// FeatherPad holding unsaved text shows its save question and keeps the
// text, and foot closes as its close button closes it; in KWin (where
// installed) FeatherPad and KWrite close; in weston, which lets no client
// close another's window, the answer is that this desktop lets nothing be
// asked, and nothing is signalled. Every program is the test's own, stopped
// with the session.
#include "testsupport/ScreenPatches.h"
#include "testsupport/SignalCheck.h"
#include "testsupport/WaylandSession.h"

#include <QtTest>

using pelmora::WaylandSession;

namespace {

const QString shotDir = QStringLiteral(PELMORA_BINARY_DIR "/tests/screenshots");
const QString askQuit = QStringLiteral(PELMORA_BINARY_DIR "/tests/helpers/pelmora_askquit");

} // namespace

class TestWaylandQuit : public QObject {
    Q_OBJECT

    std::unique_ptr<WaylandSession> session;

    // What the quit service says about the application of `pid`.
    QByteArray quitAnswer(qint64 pid) const
    {
        QProcess *ask = session->startProgram(askQuit, {QString::number(pid)});
        if (!ask || !ask->waitForFinished(15000))
            return "<no answer>";
        return ask->readAllStandardOutput().trimmed() + ask->readAllStandardError().trimmed();
    }

    QList<WaylandSession::View> viewsOf(qint64 pid) const
    {
        QList<WaylandSession::View> own;
        for (const WaylandSession::View &view : session->views())
            if (view.pid == pid)
                own << view;
        return own;
    }

    static QProcessEnvironment waylandNative()
    {
        QProcessEnvironment environment;
        environment.insert("QT_QPA_PLATFORM", "wayland");
        return environment;
    }

private slots:
    void initTestCase()
    {
        for (const char *program : {"featherpad", "foot"})
            if (QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty())
                QSKIP(qPrintable(QStringLiteral("%1 is not installed (scripts/install-deps)").arg(program)));
    }

    void cleanup() { session.reset(); }

    // Wayland-native, also where XWayland runs beside it (as desktops ship it).
    void inSway_data()
    {
        QTest::addColumn<bool>("xwayland");
        QTest::newRow("wayland") << false;
        QTest::newRow("with xwayland") << true;
    }
    void inSway()
    {
        QFETCH(bool, xwayland);
        session = std::make_unique<WaylandSession>(WaylandSession::Options{.xwayland = xwayland});
        START_SESSION_OR_SKIP(*session);
        QProcess *editor = session->startProgram("featherpad", {}, waylandNative());
        QProcess *terminal = session->startProgram("foot", {"--", "sh", "-c", "exec cat"});
        QVERIFY(editor && terminal);
        const qint64 editorPid = editor->processId(), terminalPid = terminal->processId();
        QTRY_COMPARE_WITH_TIMEOUT(viewsOf(terminalPid).size(), 1, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(viewsOf(editorPid).size(), 1, 10000);
        // Words nobody saved: FeatherPad, focused as the newest window, marks its document modified.
        const QString title = viewsOf(editorPid).constFirst().title;
        QVERIFY(session->type("words nobody saved"));
        QTRY_VERIFY_WITH_TIMEOUT(viewsOf(editorPid).constFirst().title != title, 5000);
        const QString modified = viewsOf(editorPid).constFirst().title;
        qInfo("FeatherPad: app_id %s, title \"%s\" after typing", qPrintable(viewsOf(editorPid).constFirst().appId),
              qPrintable(modified));

        // It asks about the unsaved text in a window of its own and stays, with the document as it was.
        QCOMPARE(quitAnswer(editorPid), QByteArray("asked"));
        QTRY_VERIFY_WITH_TIMEOUT(viewsOf(editorPid).size() == 2, 10000);
        QVERIFY(session->screenshot(shotDir + "/sway-quit-featherpad.png"));
        const QList<WaylandSession::View> asking = viewsOf(editorPid);
        for (const WaylandSession::View &view : asking)
            qInfo("FeatherPad after Quit: \"%s\"%s", qPrintable(view.title), view.focused ? " (focused)" : "");
        QVERIFY(!pelmora::wasSignalledToEnd(editorPid));
        QCOMPARE(editor->state(), QProcess::Running);
        QVERIFY(std::any_of(asking.cbegin(), asking.cend(), [&](const auto &view) { return view.title == modified; }));

        // foot closes as its close button closes it.
        QCOMPARE(quitAnswer(terminalPid), QByteArray("asked"));
        QVERIFY2(terminal->waitForFinished(10000), "foot is still running");
        QCOMPARE(terminal->exitStatus(), QProcess::NormalExit);
    }

    // KWin lists windows with their pid, but only to a program whose
    // installed desktop file asks for that (by its Exec path).
    void inKwin_data()
    {
        QTest::addColumn<QString>("program");
        for (const char *program : {"featherpad", "kwrite"})
            QTest::newRow(program) << QString::fromLatin1(program);
    }
    void inKwin()
    {
        QFETCH(QString, program);
        if (QStandardPaths::findExecutable(program).isEmpty())
            QSKIP(qPrintable(program + " is not installed"));
        session = std::make_unique<WaylandSession>(
            WaylandSession::Options{.compositor = WaylandSession::Compositor::kwin, .xwayland = true});
        QFile entry(session->home() + "/.local/share/applications/pelmora-askquit.desktop");
        QVERIFY(QDir().mkpath(QFileInfo(entry).path()) && entry.open(QIODevice::WriteOnly));
        entry.write("[Desktop Entry]\nType=Application\nName=Quit probe\nNoDisplay=true\nExec="
                    + QFile::encodeName(askQuit) + "\nX-KDE-Wayland-Interfaces=org_kde_plasma_window_management\n");
        entry.close();
        START_SESSION_OR_SKIP(*session);
        QProcess *app = session->startProgram(program, {}, waylandNative());
        QVERIFY(app);
        const qint64 pid = app->processId();
        QTRY_COMPARE_WITH_TIMEOUT(viewsOf(pid).size(), 1, 15000);
        // Nothing typed (this session has no keyboard): it closes as its close button closes it.
        QCOMPARE(quitAnswer(pid), QByteArray("asked"));
        QVERIFY2(app->waitForFinished(10000), "still running");
        QCOMPARE(app->exitStatus(), QProcess::NormalExit);
    }

    void inWeston()
    {
        session = std::make_unique<WaylandSession>(
            WaylandSession::Options{.compositor = WaylandSession::Compositor::weston, .xwayland = true});
        START_SESSION_OR_SKIP(*session);
        const QImage empty = session->grab();
        QProcess *editor = session->startProgram("featherpad", {}, waylandNative());
        QVERIFY(editor);
        // Its window drawn: much of the screen changed.
        QTRY_VERIFY_WITH_TIMEOUT(pelmora::changedPixels(empty, session->grab(), empty.rect()) > 50000, 10000);
        QCOMPARE(quitAnswer(editor->processId()), QByteArray("noRoute windowSystemSilent"));
        QVERIFY(!pelmora::wasSignalledToEnd(editor->processId()));
        QCOMPARE(editor->state(), QProcess::Running);
    }
};

QTEST_MAIN(TestWaylandQuit)
#include "tst_waylandquit.moc"
