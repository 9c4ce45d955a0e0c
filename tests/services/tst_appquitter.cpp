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
        for (int status = 0; timer.elapsed() < timeoutMs; QThread::msleep(10)) {
            if (::waitpid(pid, &status, WNOHANG) == pid) {
                pid = -1;
                return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
            }
        }
        return -1;
    }
};

} // namespace

class TestAppQuitter : public QObject {
    Q_OBJECT

    FixtureTree m_proc;
    FixtureTree m_data;

private slots:
    void initTestCase()
    {
        m_data.write("applications/fixture.desktop", entry("Fixture App", "/opt/fixture/apprun"));
        m_data.write("applications/other.desktop", entry("Other App", "/opt/other/otherrun"));
        // pid, ppid, program (a fake /proc)
        for (const auto &[pid, ppid, exe] : std::initializer_list<std::tuple<int, int, const char *>>{
                 {1, 0, "/opt/fixture/apprun"}, {50, 1, "/usr/bin/bash"}, {100, 50, "/opt/fixture/apprun"},
                 {101, 100, "/opt/fixture/apprun"}, {102, 999, "/opt/fixture/apprun"}, {103, 1, "/opt/fixture/apprun"},
                 {104, 105, "/opt/fixture/apprun"}, {105, 50, "/opt/other/otherrun"}, {107, 50, "/opt/fixture/apprun"}}) {
            const QString dir = QString::number(pid) + '/';
            m_proc.symlink(dir + "exe", exe);
            m_proc.write(dir + "cgroup", "0::/\n");
            m_proc.write(dir + "stat", pid == 107 ? QByteArray("107 (apprun) garbage")
                                                  : QByteArray::number(pid) + " (apprun) S " + QByteArray::number(ppid)
                                                        + " 1 1 0 -1 4194560 100 0 0 0 5 3 0 0 20 0 1 0 12345 1000000 250\n");
        }
    }

    void shouldSignal_data()
    {
        QTest::addColumn<int>("pid");
        QTest::addColumn<QString>("appName");
        QTest::addColumn<bool>("expected");
        QTest::newRow("top process") << 100 << "Fixture App" << true;
        QTest::newRow("asked for another application") << 100 << "Other App" << false;
        QTest::newRow("child of the same application") << 101 << "Fixture App" << false;
        QTest::newRow("parent unreadable") << 102 << "Fixture App" << true;
        QTest::newRow("parent is pid 1") << 103 << "Fixture App" << true;
        QTest::newRow("child of another application") << 104 << "Fixture App" << true;
        QTest::newRow("process of another application") << 105 << "Fixture App" << false;
        QTest::newRow("not attributed") << 50 << "Fixture App" << false;
        QTest::newRow("vanished") << 106 << "Fixture App" << false;
        QTest::newRow("malformed stat") << 107 << "Fixture App" << false;
        QTest::newRow("pid 1 is never asked") << 1 << "Fixture App" << false;
        QTest::newRow("pid 0") << 0 << "Fixture App" << false;
    }
    void shouldSignal()
    {
        QFETCH(int, pid);
        QFETCH(QString, appName);
        const AppRegistry registry(RegistryPaths{m_data.path(), {}, {}});
        const platform::ProcRoot root(m_proc.path().toStdString());
        QTEST(pelmora::shouldSignal(appWith(appName, {pid}), pid, registry, root), "expected");
    }

    // The whole path on live processes: index, look up, quit. Nothing an entry names is ever run.
    void quitsOnlyTheApplicationAndRunsNothing()
    {
        FixtureTree tree;
        const QByteArray touch = "sh -c 'touch " + QFile::encodeName(tree.filePath("ran")) + "'";
        tree.write("data/applications/trap.desktop", entry("Sleeper", touch) + "TryExec=" + touch + "\n");
        tree.write("data/applications/sleeper.desktop", entry("Sleeper", "sleep 600") + "TryExec=" + touch + "\n");
        const AppRegistry registry(RegistryPaths{tree.filePath("data"), {}, {}});
        Child sleeper;
        Child unrelated(false);
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
};

QTEST_GUILESS_MAIN(TestAppQuitter)
#include "tst_appquitter.moc"
