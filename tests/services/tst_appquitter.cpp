// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Quitting an application: SIGTERM through a pidfd, to its top processes only.
// Every real process here is the test's own child, stopped by its pid.
#include "platform/ProcessSignal.h"
#include "services/registry/AppQuitter.h"
#include "testsupport/FixtureTree.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QThread>

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace pelmora;

namespace {

QByteArray entry(const QByteArray &name, const QByteArray &exec)
{
    return "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=" + exec + "\n";
}

AppMetric appWith(const QString &name, const QList<qint32> &pids)
{
    AppMetric app{name.toLower(), name, 0, 1, {}};
    for (const qint32 pid : pids)
        app.processes.append(ProcessMetric{pid, name, name, 0.0, 4096});
    return app;
}

// A child running /bin/sleep (or, without exec, just waiting), killed and reaped when it goes.
struct Child {
    pid_t pid = ::fork();
    explicit Child(bool exec = true)
    {
        if (pid == 0) {
            if (exec)
                ::execl("/bin/sleep", "sleep", "600", static_cast<char *>(nullptr));
            ::pause();
            ::_exit(127);
        }
        QThread::msleep(100); // past the exec
    }
    ~Child() { stop(); }
    void stop()
    {
        if (pid > 0 && ::kill(pid, SIGKILL) == 0)
            ::waitpid(pid, nullptr, 0);
        pid = -1;
    }
    // The signal that ended it, 0 for an exit, -1 while it runs after `timeoutMs`.
    int endedBy(int timeoutMs)
    {
        QElapsedTimer timer;
        timer.start();
        for (int status = 0; timer.elapsed() < timeoutMs; QThread::msleep(10))
            if (::waitpid(pid, &status, WNOHANG) == pid) {
                pid = -1;
                return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
            }
        return -1;
    }
};

} // namespace

class TestAppQuitter : public QObject {
    Q_OBJECT
private slots:
    // Over a fake /proc (pid, ppid, program): which processes of an application a quit signals.
    void shouldSignal()
    {
        FixtureTree proc, data;
        data.write("applications/fixture.desktop", entry("Fixture App", "/opt/fixture/apprun"));
        data.write("applications/other.desktop", entry("Other App", "/opt/other/otherrun"));
        for (const auto &[pid, ppid, exe] : std::initializer_list<std::tuple<int, int, const char *>>{
                 {1, 0, "/opt/fixture/apprun"}, {50, 1, "/usr/bin/bash"}, {100, 50, "/opt/fixture/apprun"},
                 {101, 100, "/opt/fixture/apprun"}, {102, 999, "/opt/fixture/apprun"}, {103, 1, "/opt/fixture/apprun"},
                 {104, 105, "/opt/fixture/apprun"}, {105, 50, "/opt/other/otherrun"}, {107, 50, "/opt/fixture/apprun"}}) {
            const QString dir = QString::number(pid) + '/';
            proc.symlink(dir + "exe", exe);
            proc.write(dir + "cgroup", "0::/\n");
            proc.write(dir + "stat", pid == 107 ? QByteArray("107 (apprun) garbage")
                                                : QByteArray::number(pid) + " (apprun) S " + QByteArray::number(ppid)
                                                      + " 1 1 0 -1 4194560 100 0 0 0 5 3 0 0 20 0 1 0 12345 1000000 250\n");
        }
        const AppRegistry registry(RegistryPaths{data.path(), {}, {}});
        const platform::ProcRoot root(proc.path().toStdString());
        for (const auto &[pid, app, expected, why] : std::initializer_list<std::tuple<int, QString, bool, const char *>>{
                 {100, "Fixture App", true, "top process"},
                 {100, "Other App", false, "asked for another application"},
                 {101, "Fixture App", false, "child of the same application"},
                 {102, "Fixture App", true, "parent unreadable"},
                 {103, "Fixture App", true, "parent is pid 1"},
                 {104, "Fixture App", true, "child of another application"},
                 {105, "Fixture App", false, "process of another application"},
                 {50, "Fixture App", false, "not attributed"},
                 {106, "Fixture App", false, "vanished"},
                 {107, "Fixture App", false, "malformed stat"},
                 {1, "Fixture App", false, "pid 1 is never asked"},
                 {0, "Fixture App", false, "pid 0"}})
            QVERIFY2(pelmora::shouldSignal(appWith(app, {pid}), pid, registry, root) == expected, why);
    }

    // The whole path on live processes: index, look up, quit. Nothing an entry names is ever run.
    void quitsOnlyTheApplicationAndRunsNothing()
    {
        FixtureTree tree;
        const QByteArray touch = "sh -c 'touch " + QFile::encodeName(tree.filePath("ran")) + "'";
        tree.write("data/applications/trap.desktop", entry("Sleeper", touch) + "TryExec=" + touch + "\n");
        tree.write("data/applications/sleeper.desktop", entry("Sleeper", "sleep 600") + "TryExec=" + touch + "\n");
        const AppRegistry registry(RegistryPaths{tree.filePath("data"), {}, {}});
        Child sleeper, unrelated(false); // only the first runs sleep: the application
        const platform::ProcRoot root;
        QCOMPARE(registry.applicationName(readProcessFacts(root, sleeper.pid)).value_or(""), QStringLiteral("Sleeper"));

        QCOMPARE(quitApplication(appWith("Sleeper", {0, 1, unrelated.pid, sleeper.pid}), registry, root),
                 QList<std::int32_t>{sleeper.pid});
        QCOMPARE(sleeper.endedBy(5000), SIGTERM);
        QCOMPARE(unrelated.endedBy(300), -1);
        QVERIFY(!QFile::exists(tree.filePath("ran")));
    }

    // The handle is pinned to the process it was opened on: once that ended,
    // nothing reusing its pid can be reached through it.
    void handleOfAnEndedProcessSignalsNothing()
    {
        Child gone;
        const platform::ProcessHandle handle = platform::ProcessHandle::open(gone.pid);
        QVERIFY(handle.isValid());
        gone.stop();
        QVERIFY(!handle.sendSignal(SIGTERM));
    }
    // An unprivileged user's registry attributes our process (root's, in CI)
    // to an application and quits it: nothing is signalled, nothing fails loudly.
    void anotherUsersProcessIsSkippedSilently()
    {
        if (::geteuid() != 0)
            QSKIP("needs root to act as another user");
        FixtureTree tree;
        tree.write("data/applications/sleeper.desktop", entry("Sleeper", "sleep"));
        ::chmod(QFile::encodeName(tree.path()).constData(), 0755);
        Child target;
        const pid_t asker = ::fork();
        if (asker == 0) {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(100);
            const AppRegistry registry(RegistryPaths{tree.filePath("data"), {}, {}});
            const platform::ProcRoot root;
            if (!pelmora::shouldSignal(appWith("Sleeper", {}), target.pid, registry, root))
                ::_exit(101); // not even attributed: the test would prove nothing
            ::_exit(int(quitApplication(appWith("Sleeper", {target.pid}), registry, root).size()));
        }
        int status = 0;
        QCOMPARE(::waitpid(asker, &status, 0), asker);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
        QCOMPARE(target.endedBy(300), -1);
    }
};

QTEST_GUILESS_MAIN(TestAppQuitter)
#include "tst_appquitter.moc"
