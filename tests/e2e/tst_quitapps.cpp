// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// "Quit <app>" on the real binary, driven through the real panel (Xvfb,
// openbox, xfce4-panel): search, click the row, choose Quit. Debian's
// Mousepad with unsaved text stays and asks about it; Galculator and XTerm
// close; a windowless program of the test's own gets SIGTERM. As root, a
// process of another user, and another user's process that took over the pid
// of a listed one while the menu was open, are left alone. Every program is
// the test's own and is stopped by its pid; the test user is removed again.
#include "testsupport/DesktopSession.h"
#include "testsupport/FixtureTree.h"
#include "testsupport/ProcessTree.h"
#include "testsupport/SignalCheck.h"

#include <QtTest>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

using pelmora::DesktopSession;

namespace {

const QString shotDir = QStringLiteral(PELMORA_BINARY_DIR "/tests/screenshots");

} // namespace

class TestQuitApps : public QObject {
    Q_OBJECT

    FixtureTree scratch;
    QString helper;     // the windowless program: a copy of pelmora_testapp under a name of its own
    QString helperName; // the application it belongs to
    std::unique_ptr<DesktopSession> desktop;
    QProcess *pelmora = nullptr;
    QRect icon;
    QList<QProcess *> started; // by the test function that runs; stopped after it
    QList<pid_t> forked;
    QString user;              // the one the test function created

    bool key(const QString &keys) const { return desktop->runCommand("xdotool", {"key", "--clearmodifiers", keys}); }
    bool type(const QString &text) const { return desktop->runCommand("xdotool", {"type", "--delay", "30", text}); }
    QString windowName(quint64 id) const
    {
        const auto name = desktop->runTool("xdotool", {"getwindowname", QString::number(id)}, 10000);
        return QString::fromUtf8(name.value_or("")).trimmed();
    }

    // pelmora's visible window that is 440 wide (its tray icon is a window too).
    QRect popover() const { return desktop->visibleWindowOfWidth(pelmora->processId(), 440).second; }
    QImage grab(const QRect &area, const QString &name) const
    {
        const QString path = shotDir + "/quit-" + name + ".png";
        return desktop->screenshot(path) ? QImage(path).copy(area) : QImage();
    }

    // The rows where most of the width differs: a card that one image has and the other has not.
    static std::pair<int, int> cardBand(const QImage &a, const QImage &b)
    {
        int top = -1, bottom = -1;
        for (int y = 0; y < std::min(a.height(), b.height()); ++y) {
            int differing = 0;
            for (int x = 0; x < std::min(a.width(), b.width()); ++x) {
                const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
                differing += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q)) > 12;
            }
            if (differing > a.width() / 2) {
                if (top < 0)
                    top = y;
                bottom = y;
            } else if (top >= 0) {
                break; // the first card only
            }
        }
        return {top, bottom};
    }

    bool closePopover() const
    {
        for (int i = 0; i < 3 && popover().isValid(); ++i)
            key("Escape");
        return QTest::qWaitFor([&] { return !popover().isValid(); }, 5000);
    }

    // Types `text` into the focused search field and returns once the panel
    // has taken it: selecting it all then makes it the X primary selection.
    bool search(const QString &text) const
    {
        return key("ctrl+a") && type(text) && key("ctrl+a") && QTest::qWaitFor([&] {
            return desktop->runTool("xsel", {"--output", "--primary"}, 10000).value_or("") == text.toUtf8();
        }, 5000);
    }

    // Opens the panel, searches for `name` and clicks its row once listed;
    // returns the menu that opens there.
    QRect openMenu(const QString &name)
    {
        QRect menu;
        [&] {
            QVERIFY(desktop->click(icon.center()));
            QRect panel;
            QVERIFY(QTest::qWaitFor([&] { return (panel = popover()).isValid(); }, 5000));
            // What the panel shows when the search finds nothing, then the search itself.
            QVERIFY(search("zz-nothing-zz"));
            const QImage nothing = grab(panel, "nothing");
            QVERIFY(!nothing.isNull());
            QVERIFY(search(name));
            std::pair<int, int> row{-1, -1};
            QVERIFY2(QTest::qWaitFor([&] { return (row = cardBand(nothing, grab(panel, "search"))).first >= 0; }, 20000),
                     qPrintable(name + " was never listed"));
            QVERIFY2(row.second - row.first >= 20 && row.second - row.first <= 80,
                     qPrintable(QStringLiteral("a row from %1 to %2?").arg(row.first).arg(row.second)));

            // The menu opens below the row, near its left edge (a row's tooltip
            // would open at the pointer, in the middle).
            const QList<quint64> known = desktop->visibleWindowsOf(pelmora->processId());
            QVERIFY(desktop->click(QPoint(panel.center().x(), panel.top() + (row.first + row.second) / 2)));
            QVERIFY2(QTest::qWaitFor([&] {
                for (quint64 id : desktop->visibleWindowsOf(pelmora->processId()))
                    if (const QRect rect = desktop->windowGeometry(id); !known.contains(id) && rect.width() > 100
                        && rect.left() < panel.center().x() && rect.top() >= panel.top() + row.second - 4)
                        return (menu = rect).isValid();
                return false;
            }, 5000), "no menu opened on the row");
        }();
        return menu;
    }

    // Its entries: show processes, a separator, quit. Quit is the last.
    bool chooseQuit(const QRect &menu, const QString &shot) const
    {
        desktop->screenshot(shotDir + "/quit-" + shot + "-menu.png");
        return desktop->click(QPoint(menu.center().x(), menu.bottom() - menu.height() / 6));
    }

    int snapshots() const { return int(fileContents(scratch.filePath("probe")).count("\"event\":\"snapshot\"")); }

    // The helper, started in this desktop or as `user` through setpriv.
    QProcess *startHelper(const QString &user = {})
    {
        QStringList arguments{"--idle", "--marker", scratch.filePath("terms")};
        QProcess *process = user.isEmpty()
            ? desktop->startProgram(helper, arguments)
            : desktop->startProgram("setpriv", QStringList{"--reuid", user, "--regid", user, "--clear-groups", helper}
                                                   + arguments);
        if (process)
            started << process;
        return process && process->waitForReadyRead(5000) && process->readLine().trimmed() == "ready" ? process : nullptr;
    }

    // Starts the helper as `user` under pid `pid`, which must be free: the
    // kernel hands out ns_last_pid + 1 next. 0 when someone else got it first.
    pid_t startHelperAt(pid_t pid, const QString &user)
    {
        const passwd *account = ::getpwnam(user.toLocal8Bit().constData());
        if (!account)
            return 0;
        const uid_t uid = account->pw_uid;
        const gid_t gid = account->pw_gid;
        const QByteArray program = QFile::encodeName(helper);
        const int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        QFile lastPid("/proc/sys/kernel/ns_last_pid");
        if (!lastPid.open(QIODevice::WriteOnly) || lastPid.write(QByteArray::number(pid - 1)) <= 0 || !lastPid.flush())
            return 0;
        const pid_t child = ::fork();
        if (child == 0) {
            ::dup2(devNull, STDOUT_FILENO);
            if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
                ::_exit(125);
            ::execl(program.constData(), program.constData(), "--idle", static_cast<char *>(nullptr));
            ::_exit(127);
        }
        ::close(devNull);
        if (child > 0)
            forked << child;
        if (child != pid)
            return 0;
        const QString exe = QStringLiteral("/proc/%1/exe").arg(child);
        return QTest::qWaitFor([&] { return QFile::symLinkTarget(exe) == helper; }, 5000) ? child : 0;
    }

private slots:
    void initTestCase()
    {
        for (const char *program : {"mousepad", "galculator", "xterm", "xsel"})
            if (QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty())
                QSKIP(qPrintable(QStringLiteral("%1 is not installed (scripts/install-deps)").arg(program)));
        QVERIFY(scratch.isValid());
        // Another user runs the helper from here.
        QFile::setPermissions(scratch.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                                  | QFileDevice::ReadOther | QFileDevice::ExeOther);
        const QByteArray program = "pm-quit-" + QByteArray::number(QCoreApplication::applicationPid());
        helper = scratch.filePath(QString::fromLatin1(program));
        helperName = QStringLiteral("Quit Helper %1").arg(QCoreApplication::applicationPid());
        QVERIFY(QFile::copy(PELMORA_BINARY_DIR "/tests/helpers/pelmora_testapp", helper));
        const QByteArray entry = desktopEntry(helperName.toUtf8(), program);
        QVERIFY(QFile::exists(scratch.write("data/applications/pm-quit.desktop", entry)));

        desktop = std::make_unique<DesktopSession>(DesktopSession::Options{
            .tray = DesktopSession::Tray::xfcePanel, .windowManager = DesktopSession::WindowManager::openbox});
        START_DESKTOP_OR_SKIP(*desktop);
        const QRect emptyTray = desktop->trayGeometry();
        // Debian's applications, the helper's, and a refresh every second.
        pelmora = desktop->startProgram("/usr/bin/env", {"XDG_DATA_DIRS=" + scratch.filePath("data") + ":/usr/share",
                                                          "PELMORA_TESTING_REFRESH_INTERVAL_MS=1000",
                                                          "PELMORA_METRICS_PROBE_PATH=" + scratch.filePath("probe"),
                                                          PELMORA_BINARY});
        QVERIFY(pelmora);
        QVERIFY2(QTest::qWaitFor([&] {
            return !desktop->registeredStatusNotifierItems().isEmpty()
                && (icon = desktop->trayGeometry()).width() > emptyTray.width();
        }, 15000), "pelmora's item never showed in the panel");
    }

    // Stops what the test function started, by pid, and the user it made.
    void cleanup()
    {
        if (QTest::currentTestFailed() && pelmora)
            qWarning("pelmora %s; standard error:\n%s", pelmora->state() == QProcess::Running ? "runs" : "ended",
                     pelmora->readAllStandardError().constData());
        for (QProcess *process : std::as_const(started))
            if (process->state() != QProcess::NotRunning) {
                pelmora::ProcessTree::stop(process->processId());
                process->waitForFinished(3000);
            }
        started.clear();
        for (const pid_t pid : std::as_const(forked))
            if (::kill(pid, SIGKILL) == 0 || errno != ESRCH)
                ::waitpid(pid, nullptr, 0);
        forked.clear();
        if (!user.isEmpty())
            QCOMPARE(QProcess::execute("userdel", {std::exchange(user, {})}), 0);
        QFile::remove(scratch.filePath("terms"));
        if (pelmora)
            closePopover();
    }

    void cleanupTestCase() { desktop.reset(); }

    void quitsEachKind_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("name");
        QTest::newRow("Mousepad with unsaved text") << "mousepad" << "Mousepad";
        QTest::newRow("Galculator") << "galculator" << "Galculator";
        QTest::newRow("XTerm") << "xterm" << "XTerm";
        QTest::newRow("windowless") << "" << "";
    }
    void quitsEachKind()
    {
        QFETCH(QString, program);
        QFETCH(QString, name);
        const bool windowless = program.isEmpty();
        QProcess *app = windowless ? startHelper() : desktop->startProgram(program);
        QVERIFY(app);
        started << app;
        const qint64 pid = app->processId();
        QList<quint64> windows;
        if (!windowless)
            QVERIFY2(QTest::qWaitFor([&] { return !(windows = desktop->visibleWindowsOf(pid)).isEmpty(); }, 15000),
                     "no window");
        if (program == "mousepad") {
            QVERIFY(desktop->runCommand("xdotool", {"windowactivate", "--sync", QString::number(windows.first())}));
            QVERIFY(type("words nobody saved"));
            // Mousepad marks a modified document with '*' in its title.
            QVERIFY2(QTest::qWaitFor([&] { return windowName(windows.first()).startsWith(u'*'); }, 10000),
                     qPrintable(windowName(windows.first())));
        }

        const QRect menu = openMenu(windowless ? helperName : name);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(chooseQuit(menu, program.isEmpty() ? "windowless" : program));

        if (program == "mousepad") {
            // It asks its own question, and stays until that is answered.
            quint64 question = 0;
            QVERIFY2(QTest::qWaitFor([&] {
                for (quint64 id : desktop->visibleWindowsOf(pid))
                    if (!windows.contains(id))
                        return (question = id) != 0;
                return false;
            }, 10000), "Mousepad did not ask");
            desktop->screenshot(shotDir + "/quit-mousepad-question.png");
            QVERIFY2(windowName(question).contains("Save", Qt::CaseInsensitive), qPrintable(windowName(question)));
            // pelmora never waits for the answer Mousepad owes it: it goes on refreshing.
            const int before = snapshots();
            QVERIFY(QTest::qWaitFor([&] { return snapshots() >= before + 2; }, 10000));
            QVERIFY(!pelmora::wasSignalledToEnd(pid));
            QCOMPARE(app->state(), QProcess::Running);
        } else {
            QVERIFY2(app->waitForFinished(10000), "still running");
            QCOMPARE(app->exitStatus(), QProcess::NormalExit);
            if (windowless)
                QCOMPARE(fileContents(scratch.filePath("terms")), "SIGTERM " + QByteArray::number(pid) + "\n");
        }
    }

    // As root: another user's process of the application, and another
    // user's process that took over the pid of a listed one while the menu
    // was open, are left alone; our own process of it is asked.
    void othersAreLeftAlone()
    {
        if (::geteuid() != 0)
            QSKIP("needs root: runs processes as a user it creates, and chooses their pids");
        user = QStringLiteral("pm-quit-%1").arg(QCoreApplication::applicationPid());
        QVERIFY(QProcess::execute("useradd", {"--system", "--no-create-home", "--shell", "/usr/sbin/nologin", user}) == 0);
        QProcess *ours = startHelper(), *theirs = startHelper(user), *doomed = startHelper();
        QVERIFY(ours && theirs && doomed);
        const qint64 oursPid = ours->processId(), theirsPid = theirs->processId();
        const pid_t taken = pid_t(doomed->processId());
        const QRect menu = openMenu(helperName);
        if (QTest::currentTestFailed())
            return;

        // Refreshes pause while the menu is open: the list still shows the doomed process.
        ::kill(taken, SIGKILL);
        QVERIFY(doomed->waitForFinished(5000));
        const pid_t newcomer = startHelperAt(taken, user);
        if (newcomer == 0)
            QSKIP(qPrintable(QStringLiteral("another process took pid %1 first").arg(taken)));
        QVERIFY(chooseQuit(menu, "others"));

        QVERIFY2(ours->waitForFinished(10000), "our own process was not asked");
        QCOMPARE(fileContents(scratch.filePath("terms")), "SIGTERM " + QByteArray::number(oursPid) + "\n");
        // Everything was decided in the pass that asked ours.
        QVERIFY2(!pelmora::wasSignalledToEnd(theirsPid), "another user's process was signalled");
        QVERIFY2(!pelmora::wasSignalledToEnd(newcomer), "the process that took over a listed pid was signalled");
    }

    // After all that, pelmora still ends cleanly from its own menu (in a
    // sanitizer build: with nothing leaked or misused on the way).
    void pelmoraEndsCleanly()
    {
        QList<quint64> known;
        for (const auto &window : desktop->topLevelWindows())
            known << window.first;
        QVERIFY(desktop->click(icon.center(), 3));
        QRect menu;
        QVERIFY(QTest::qWaitFor([&] {
            for (const auto &[id, rect] : desktop->topLevelWindows())
                if (!known.contains(id) && rect.width() > 20 && rect.height() > 20)
                    return (menu = rect).isValid();
            return false;
        }, 5000));
        QVERIFY(desktop->click(QPoint(menu.center().x(), menu.top() + menu.height() * 3 / 4)));
        QVERIFY(pelmora->waitForFinished(20000));
        const QByteArray errors = pelmora->readAllStandardError();
        QVERIFY2(pelmora->exitStatus() == QProcess::NormalExit && pelmora->exitCode() == 0, errors.constData());
        QVERIFY2(!errors.contains("Sanitizer"), errors.constData());
        pelmora = nullptr;
    }
};

QTEST_MAIN(TestQuitApps)
#include "tst_quitapps.moc"
