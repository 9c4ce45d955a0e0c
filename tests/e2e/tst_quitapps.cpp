// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// "Quit <app>" on the real binary, driven through the real panel (Xvfb,
// openbox, xfce4-panel): search, click the row, choose Quit. Debian's
// Mousepad with unsaved text stays and asks about it, with the panel out of
// the way, also from another workspace, which comes forward; Galculator,
// XTerm and ImageMagick's display (no _NET_WM_PID) close; a windowless
// program of the test's own gets SIGTERM. One that talks to a display server
// but shows no window gets an answer in the panel, and "End …" ends it only
// once confirmed. As root: a process of another user, another user's
// process that took over the pid of a listed one while the menu was open,
// other users' xterms whose window claims the pid of ours (a lie, or a pid
// namespace of their own), and a bus connection handed on by a process whose
// pid then went to ours, are all left alone. Every program is the test's own
// and is stopped by its pid; the test user is removed again.
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
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using pelmora::DesktopSession;

namespace {

const QString shotDir = QStringLiteral(PELMORA_BINARY_DIR "/tests/screenshots");

} // namespace

class TestQuitApps : public QObject {
    Q_OBJECT

    FixtureTree scratch;
    QString helper; // the windowless program: a copy of pelmora_testapp under a name of its own
    QString helperName; // the application it belongs to
    std::unique_ptr<DesktopSession> desktop;
    QProcess *pelmora = nullptr;
    QRect icon;
    QList<QProcess *> started; // by the test function that runs; stopped after it
    QList<pid_t> forked;
    QList<pid_t> orphans; // the test's programs whose parent ended: not ours to reap
    QString user; // the one the test function created
    QImage searchShot; // the panel as openMenu() saw it before the menu, and the row it clicked
    std::pair<int, int> clickedRow{-1, -1};

    bool key(const QString &keys) const { return desktop->runCommand("xdotool", {"key", "--clearmodifiers", keys}); }
    bool type(const QString &text) const { return desktop->runCommand("xdotool", {"type", "--delay", "30", text}); }
    QString windowName(quint64 id) const
    {
        const auto name = desktop->runTool("xdotool", {"getwindowname", QString::number(id)}, 10000);
        return QString::fromUtf8(name.value_or("")).trimmed();
    }

    // Whether the top-level window under the pointer is `window` or the
    // window manager's frame around it.
    bool pointerIsOn(quint64 window) const
    {
        const QByteArray location = desktop->runTool("xdotool", {"getmouselocation", "--shell"}).value_or("");
        static const QRegularExpression under(QStringLiteral("WINDOW=(\\d+)"));
        const QString top = under.match(QString::fromLatin1(location)).captured(1);
        if (top.isEmpty())
            return false;
        const QByteArray tree = desktop->runTool("xwininfo", {"-tree", "-id", top}).value_or("");
        return top.toULongLong() == window || tree.contains("0x" + QByteArray::number(window, 16) + " ");
    }

    // The window manager's client windows (_NET_CLIENT_LIST).
    QList<quint64> clientWindows() const
    {
        QList<quint64> windows;
        static const QRegularExpression id(QStringLiteral("0x[0-9a-f]+"));
        const QByteArray list = desktop->runTool("xprop", {"-root", "_NET_CLIENT_LIST"}).value_or("");
        for (auto it = id.globalMatch(QString::fromLatin1(list)); it.hasNext();)
            windows << it.next().captured().toULongLong(nullptr, 16);
        return windows;
    }
    // The visible client windows that are not among `before` (ImageMagick's
    // display does not say its pid on its window).
    QList<quint64> newWindows(const QList<quint64> &before) const
    {
        QList<quint64> windows;
        for (quint64 window : clientWindows())
            if (!before.contains(window) && desktop->windowGeometry(window).isValid())
                windows << window;
        return windows;
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
                differing +=
                    std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q)) > 12;
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
        return key("ctrl+a") && type(text) && key("ctrl+a")
            && QTest::qWaitFor(
                   [&] {
                       return desktop->runTool("xsel", {"--output", "--primary"}, 10000).value_or("") == text.toUtf8();
                   },
                   5000);
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
            QVERIFY2(
                QTest::qWaitFor([&] { return (row = cardBand(nothing, grab(panel, "search"))).first >= 0; }, 20000),
                qPrintable(name + " was never listed"));
            QVERIFY2(row.second - row.first >= 20 && row.second - row.first <= 80,
                     qPrintable(QStringLiteral("a row from %1 to %2?").arg(row.first).arg(row.second)));
            searchShot = grab(panel, "search");
            clickedRow = row;

            // The menu opens below the row, near its left edge (a row's tooltip
            // would open at the pointer, in the middle).
            const QList<quint64> known = desktop->visibleWindowsOf(pelmora->processId());
            QVERIFY(desktop->click(QPoint(panel.center().x(), panel.top() + (row.first + row.second) / 2)));
            QVERIFY2(QTest::qWaitFor(
                         [&] {
                             for (quint64 id : desktop->visibleWindowsOf(pelmora->processId()))
                                 if (const QRect rect = desktop->windowGeometry(id); !known.contains(id)
                                     && rect.width() > 100 && rect.left() < panel.center().x()
                                     && rect.top() >= panel.top() + row.second - 4)
                                     return (menu = rect).isValid();
                             return false;
                         },
                         5000),
                     "no menu opened on the row");
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
    QProcess *startHelper(const QString &user = {}, const QStringList &more = {})
    {
        const QStringList arguments = QStringList{"--idle", "--marker", scratch.filePath("terms")} + more;
        QProcess *process = user.isEmpty()
            ? desktop->startProgram(helper, arguments)
            : desktop->startProgram(
                "setpriv", QStringList{"--reuid", user, "--regid", user, "--clear-groups", helper} + arguments);
        if (process)
            started << process;
        return process && process->waitForReadyRead(5000) && process->readLine().trimmed() == "ready" ? process
                                                                                                      : nullptr;
    }

    // Starts the helper as `user` (empty: as ourselves) under pid `pid`, which
    // must be free: the kernel hands out ns_last_pid + 1 next. 0 when someone
    // else got it first.
    pid_t startHelperAt(pid_t pid, const QString &user)
    {
        const passwd *account = user.isEmpty() ? nullptr : ::getpwnam(user.toLocal8Bit().constData());
        if (!user.isEmpty() && !account)
            return 0;
        const uid_t uid = account ? account->pw_uid : ::getuid();
        const gid_t gid = account ? account->pw_gid : ::getgid();
        const QByteArray marker = QFile::encodeName(scratch.filePath("terms"));
        const QByteArray program = QFile::encodeName(helper);
        const int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        QFile lastPid("/proc/sys/kernel/ns_last_pid");
        if (!lastPid.open(QIODevice::WriteOnly) || lastPid.write(QByteArray::number(pid - 1)) <= 0 || !lastPid.flush())
            return 0;
        const pid_t child = ::fork();
        if (child == 0) {
            ::dup2(devNull, STDOUT_FILENO);
            if (account && (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0))
                ::_exit(125);
            ::execl(program.constData(), program.constData(), "--idle", "--marker", marker.constData(),
                    static_cast<char *>(nullptr));
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

    // A throw-away system user for processes of another user.
    bool createUser()
    {
        user = QStringLiteral("pm-quit-%1").arg(QCoreApplication::applicationPid());
        return QProcess::execute("useradd", {"--system", "--no-create-home", "--shell", "/usr/sbin/nologin", user})
            == 0;
    }

private slots:
    void initTestCase()
    {
        for (const char *program : {"mousepad", "galculator", "xterm", "xsel"})
            if (QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty())
                QSKIP(qPrintable(QStringLiteral("%1 is not installed (scripts/install-deps)").arg(program)));
        QVERIFY(scratch.isValid());
        // Another user runs the helper from here.
        QFile::setPermissions(scratch.path(),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
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
        pelmora = desktop->startProgram("/usr/bin/env",
                                        {"XDG_DATA_DIRS=" + scratch.filePath("data") + ":/usr/share",
                                         "PELMORA_TESTING_REFRESH_INTERVAL_MS=1000",
                                         "PELMORA_METRICS_PROBE_PATH=" + scratch.filePath("probe"), PELMORA_BINARY});
        QVERIFY(pelmora);
        QVERIFY2(QTest::qWaitFor(
                     [&] {
                         return !desktop->registeredStatusNotifierItems().isEmpty()
                             && (icon = desktop->trayGeometry()).width() > emptyTray.width();
                     },
                     15000),
                 "pelmora's item never showed in the panel");
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
        for (const pid_t pid : std::as_const(orphans))
            ::kill(pid, SIGKILL);
        orphans.clear();
        desktop->runCommand("xdotool", {"set_desktop", "0"});
        if (!user.isEmpty())
            QCOMPARE(QProcess::execute("userdel", {std::exchange(user, {})}), 0);
        QFile::remove(scratch.filePath("terms"));
        if (pelmora)
            closePopover();
    }

    void cleanupTestCase() { desktop.reset(); }

    void quitsEachKind_data()
    {
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("workspace"); // where its window is moved first
        QTest::newRow("Mousepad with unsaved text") << QStringList{"mousepad"} << "Mousepad" << 0;
        QTest::newRow("Mousepad on another workspace") << QStringList{"mousepad"} << "Mousepad" << 2;
        QTest::newRow("Galculator") << QStringList{"galculator"} << "Galculator" << 0;
        QTest::newRow("XTerm") << QStringList{"xterm"} << "XTerm" << 0;
        // Its window says nothing of its pid: only the X server knows whose it is.
        QTest::newRow("ImageMagick display")
            << QStringList{"display", "-size", "320x200", "xc:gray"} << "ImageMagick" << 0;
        QTest::newRow("windowless") << QStringList{} << "" << 0;
    }
    void quitsEachKind()
    {
        QFETCH(QStringList, command);
        QFETCH(QString, name);
        QFETCH(int, workspace);
        const bool windowless = command.isEmpty();
        const QString program = command.value(0);
        // ImageMagick 7 (Debian 13) runs display as its one multi-call binary,
        // which its desktop entry does not name: the process is listed by its
        // command line, but it is nobody's to quit.
        if (program == u"display"
            && QFileInfo(QStandardPaths::findExecutable(program)).canonicalFilePath().contains(u"/magick"))
            QSKIP("display is ImageMagick 7's multi-call binary, which no desktop entry names");
        const QList<quint64> before = clientWindows();
        QProcess *app = windowless ? startHelper() : desktop->startProgram(program, command.mid(1));
        QVERIFY(app);
        started << app;
        const qint64 pid = app->processId();
        QList<quint64> windows;
        if (!windowless)
            QVERIFY2(QTest::qWaitFor([&] { return !(windows = newWindows(before)).isEmpty(); }, 15000), "no window");
        if (program == "mousepad") {
            // Its document window, once it has settled (a second start may map and replace one first).
            QVERIFY2(QTest::qWaitFor(
                         [&] {
                             windows = newWindows(before);
                             return windows.size() == 1 && windowName(windows.first()).endsWith(u"Mousepad");
                         },
                         15000),
                     "no Mousepad window");
            QVERIFY(desktop->runCommand("xdotool", {"windowactivate", "--sync", QString::number(windows.first())}));
            QVERIFY(type("words nobody saved"));
            // Mousepad marks a modified document with '*' in its title.
            QVERIFY2(QTest::qWaitFor([&] { return windowName(windows.first()).startsWith(u'*'); }, 10000),
                     qPrintable(windowName(windows.first())));
        }
        if (workspace != 0) {
            QVERIFY(desktop->runCommand(
                "xdotool", {"set_desktop_for_window", QString::number(windows.first()), QString::number(workspace)}));
            QVERIFY(QTest::qWaitFor([&] { return !desktop->windowGeometry(windows.first()).isValid(); }, 5000));
        }

        const QRect menu = openMenu(windowless ? helperName : name);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(chooseQuit(menu, windowless ? "windowless" : program));
        // A request went out: the panel makes room for the answer.
        QVERIFY2(QTest::qWaitFor([&] { return !popover().isValid(); }, 5000), "the panel stayed open");

        if (program == "mousepad") {
            // It asks its own question where the user is, and stays until that is answered.
            quint64 question = 0;
            QVERIFY2(QTest::qWaitFor(
                         [&] {
                             for (quint64 id : desktop->visibleWindowsOf(pid))
                                 if (!windows.contains(id))
                                     return (question = id) != 0;
                             return false;
                         },
                         10000),
                     "Mousepad did not ask where the user is");
            desktop->screenshot(shotDir + "/quit-mousepad-question-" + QString::number(workspace) + ".png");
            QVERIFY2(windowName(question).contains("Save", Qt::CaseInsensitive), qPrintable(windowName(question)));
            QCOMPARE(desktop->runTool("xdotool", {"get_desktop"}).value_or("").trimmed(),
                     QByteArray::number(workspace));
            // Uncovered and the first to take a click: nothing lies over it, and the pointer there is on it.
            QVERIFY2(QTest::qWaitFor([&] { return desktop->isOnScreen(question); }, 5000), "the question is covered");
            const QRect where = desktop->windowGeometry(question);
            QVERIFY(desktop->runCommand(
                "xdotool", {"mousemove", QString::number(where.center().x()), QString::number(where.center().y())}));
            QVERIFY2(QTest::qWaitFor([&] { return pointerIsOn(question); }, 5000),
                     "the pointer over the question is not on it");
            // pelmora never waits for the answer Mousepad owes it: it goes on refreshing.
            if (workspace == 0) {
                const int refreshes = snapshots();
                QVERIFY(QTest::qWaitFor([&] { return snapshots() >= refreshes + 2; }, 10000));
            }
            QVERIFY(!pelmora::wasSignalledToEnd(pid));
            QCOMPARE(app->state(), QProcess::Running);
            // The user answers: "Don't Save", and Mousepad quits as asked.
            QVERIFY(key("alt+d"));
            QVERIFY2(app->waitForFinished(10000), "Mousepad did not take the answer");
        } else {
            QVERIFY2(app->waitForFinished(10000), "still running");
            QCOMPARE(app->exitStatus(), QProcess::NormalExit);
            if (windowless)
                QCOMPARE(fileContents(scratch.filePath("terms")), "SIGTERM " + QByteArray::number(pid) + "\n");
        }
    }

    // A program that talks to a display server but shows no window can be
    // asked nothing: the panel says so, and "End …" ends it, from the
    // keyboard, but only once the user confirms.
    void answersWhenNothingCanBeAsked()
    {
        const QByteArray path = QFile::encodeName(scratch.filePath("wayland-pm"));
        const int compositor = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, path.constData(), sizeof address.sun_path);
        QVERIFY(::bind(compositor, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0
                && ::listen(compositor, 4) == 0);
        int accepted = -1;
        const auto closeCompositor = qScopeGuard([&] {
            ::close(accepted);
            ::close(compositor);
            QFile::remove(QFile::decodeName(path));
        });
        QProcess *client = startHelper({}, {"--connect", QFile::decodeName(path)});
        QVERIFY(client);
        // Connected before it said ready; a server takes its clients at once.
        QVERIFY((accepted = ::accept4(compositor, nullptr, nullptr, SOCK_CLOEXEC)) >= 0);
        const qint64 pid = client->processId();
        const QRect menu = openMenu(helperName);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(chooseQuit(menu, "unreachable"));

        // The answer shows above the list, in the panel that stays open.
        const QRect panel = popover();
        std::pair<int, int> answer{-1, -1};
        QVERIFY2(QTest::qWaitFor(
                     [&] {
                         answer = cardBand(searchShot, grab(panel, "answer"));
                         return answer.first >= 0 && answer.first < clickedRow.first;
                     },
                     10000),
                 "no answer in the panel");
        const QRect card(0, answer.first, panel.width(), 40);
        QVERIFY(popover().isValid());
        QVERIFY(!pelmora::wasSignalledToEnd(pid));

        // Focus is on "End …": Return asks first, and ends nothing.
        const QImage asking = grab(panel, "answer").copy(card);
        QVERIFY(key("Return"));
        QVERIFY2(QTest::qWaitFor([&] { return grab(panel, "confirm").copy(card) != asking; }, 5000), "no confirmation");
        QVERIFY(!pelmora::wasSignalledToEnd(pid));
        // From Cancel, which has the focus, on to End.
        QVERIFY(key("Tab") && key("Return"));
        QVERIFY2(client->waitForFinished(10000), "not ended");
        QCOMPARE(fileContents(scratch.filePath("terms")), "SIGTERM " + QByteArray::number(pid) + "\n");
    }

    // As root: another user's process of the application, and another
    // user's process that took over the pid of a listed one while the menu
    // was open, are left alone; our own process of it is asked.
    void othersAreLeftAlone()
    {
        if (::geteuid() != 0)
            QSKIP("needs root: runs processes as a user it creates, and chooses their pids");
        QVERIFY(createUser());
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

    // As root: two xterms of another user whose windows claim the pid of our
    // own xterm, one by setting _NET_WM_PID to it, one by running in a pid
    // namespace of its own where it has that very pid. "Quit XTerm" closes
    // ours alone: the X server, not the window, says whose a window is.
    void othersWindowsAreLeftAlone()
    {
        if (::geteuid() != 0)
            QSKIP("needs root: runs xterms as a user it creates, one in a pid namespace of its own");
        QVERIFY(createUser());
        const QList<quint64> before = clientWindows();
        QProcess *ours = desktop->startProgram("xterm");
        QVERIFY(ours);
        started << ours;
        const QString oursPid = QString::number(ours->processId());
        QList<quint64> known;
        QVERIFY(QTest::qWaitFor([&] { return !(known = newWindows(before)).isEmpty(); }, 15000));

        const QStringList asUser{"setpriv",        "--reuid", user, "--regid", user,
                                 "--clear-groups", "xterm",   "-e", "sleep",   "600"};
        const auto startStranger = [&](const QString &program, const QStringList &arguments) -> quint64 {
            QProcess *stranger = desktop->startProgram(program, arguments);
            if (!stranger)
                return 0;
            started << stranger;
            QList<quint64> shown;
            if (!QTest::qWaitFor([&] { return !(shown = newWindows(before + known)).isEmpty(); }, 15000))
                return 0;
            known += shown;
            return shown.value(0);
        };
        const quint64 liar = startStranger(asUser.first(), asUser.mid(1));
        QVERIFY2(liar, "the other user's xterm showed no window");
        QVERIFY(desktop->runCommand(
            "xprop", {"-id", QString::number(liar), "-f", "_NET_WM_PID", "32c", "-set", "_NET_WM_PID", oursPid}));
        // pid 1 of the new namespace makes the next pid there ours, then starts the xterm with it.
        const QString nested = QStringLiteral("echo %1 > /proc/sys/kernel/ns_last_pid; %2 & wait")
                                   .arg(ours->processId() - 1)
                                   .arg(asUser.join(u' '));
        const quint64 twin = startStranger("unshare", {"--pid", "--fork", "--mount-proc", "sh", "-c", nested});
        QVERIFY2(twin, "the namespaced xterm showed no window");
        for (const quint64 window : {liar, twin})
            QVERIFY2(desktop->runTool("xprop", {"-id", QString::number(window), "_NET_WM_PID"})
                         .value_or("")
                         .trimmed()
                         .endsWith(" " + oursPid.toLatin1()),
                     "a stranger's window does not claim our xterm's pid");

        const QRect menu = openMenu("XTerm");
        if (QTest::currentTestFailed())
            return;
        QVERIFY(chooseQuit(menu, "xterm-strangers"));
        QVERIFY2(ours->waitForFinished(10000), "our own xterm was not asked");
        // All requests went out in the pass that asked ours; a refresh later the strangers still show.
        const int snapshotsBefore = snapshots();
        QVERIFY(QTest::qWaitFor([&] { return snapshots() > snapshotsBefore; }, 10000));
        QVERIFY2(desktop->windowGeometry(liar).isValid(), "the window that lied about its pid was closed");
        QVERIFY2(desktop->windowGeometry(twin).isValid(), "the namespaced xterm's window was closed");
    }

    // As root: a program connects to the bus, hands the connection to a child
    // and ends; our helper then gets its pid. The bus still names that pid for
    // the child's connection, which offers a "quit": the quit must not reach
    // it. The helper has no connection of its own, so it gets SIGTERM.
    void busConnectionHandedOn()
    {
        if (::geteuid() != 0)
            QSKIP("needs root: chooses the pid of a process");
        const QString activations = scratch.filePath("activations");
        QProcess *stranger = desktop->startProgram(PELMORA_BINARY_DIR "/tests/helpers/pelmora_busstranger",
                                                   {"org.pelmora.QuitStranger", activations});
        QVERIFY(stranger);
        started << stranger;
        QVERIFY(stranger->waitForReadyRead(10000));
        const QList<QByteArray> ready = stranger->readLine().trimmed().split(' ');
        QCOMPARE(ready.value(0), "ready");
        const pid_t handedOn = pid_t(ready.value(1).toInt());
        orphans << pid_t(ready.value(2).toInt());
        QCOMPARE(qint64(handedOn), stranger->processId());
        QVERIFY(stranger->waitForFinished(5000)); // its pid is free again; the child serves on
        const pid_t target = startHelperAt(handedOn, {});
        if (target == 0)
            QSKIP(qPrintable(QStringLiteral("another process took pid %1 first").arg(handedOn)));
        QFile::remove(activations);

        const QRect menu = openMenu(helperName);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(chooseQuit(menu, "handed-on"));
        QVERIFY2(QTest::qWaitFor([&] { return fileContents(scratch.filePath("terms")).contains("SIGTERM"); }, 10000),
                 "our helper was not asked");
        QCOMPARE(fileContents(scratch.filePath("terms")), "SIGTERM " + QByteArray::number(target) + "\n");
        QVERIFY2(!QFile::exists(activations), "the quit reached the connection handed on");
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
        QVERIFY(QTest::qWaitFor(
            [&] {
                for (const auto &[id, rect] : desktop->topLevelWindows())
                    if (!known.contains(id) && rect.width() > 20 && rect.height() > 20)
                        return (menu = rect).isValid();
                return false;
            },
            5000));
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
