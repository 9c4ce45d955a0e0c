#include "services/registry/AppQuitter.h"
#include "support/TextServices.h"
#include "testsupport/FixtureTree.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

using namespace pelmora;

namespace {

QByteArray entry(const QByteArray &name, const QByteArray &exec)
{
    return "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=" + exec + "\n";
}

AppMetric appWith(const QString &name, const QList<qint32> &pids)
{
    AppMetric app;
    app.name = name;
    app.id = localizedLowercase(name);
    for (const qint32 pid : pids)
        app.processes.append(ProcessMetric{pid, name, name, 0.0, 4096});
    return app;
}

QByteArray statLine(int pid, int ppid)
{
    return QByteArray::number(pid) + " (apprun) S " + QByteArray::number(ppid)
        + " 1 1 0 -1 4194560 100 0 0 0 5 3 0 0 20 0 1 0 12345 1000000 250 18446744073709551615\n";
}

// What the real processes of these tests are, and which of them still run.
class Spawned {
public:
    ~Spawned()
    {
        // Every process started here is stopped by its pid, never by name.
        for (const pid_t pid : std::as_const(m_running)) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }

    pid_t start(const QString &program, const QStringList &arguments, int stdoutFd = -1)
    {
        QList<QByteArray> storage{QFile::encodeName(program)};
        for (const QString &argument : arguments)
            storage.append(argument.toUtf8());
        std::vector<char *> argv;
        for (QByteArray &arg : storage)
            argv.push_back(arg.data());
        argv.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (stdoutFd >= 0)
            posix_spawn_file_actions_adddup2(&actions, stdoutFd, STDOUT_FILENO);
        pid_t pid = -1;
        const int rc = posix_spawn(&pid, storage.front().constData(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0)
            return -1;
        m_running.append(pid);
        return pid;
    }

    void adopt(pid_t pid) { m_running.append(pid); }

    // The signal that ended `pid`, 0 for a normal exit, -1 if it still runs
    // after `timeoutMs`.
    int waitForEnd(pid_t pid, int timeoutMs)
    {
        QElapsedTimer timer;
        timer.start();
        do {
            int status = 0;
            if (::waitpid(pid, &status, WNOHANG) == pid) {
                m_running.removeAll(pid);
                return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
            }
            QThread::msleep(10);
        } while (timer.elapsed() < timeoutMs);
        return -1;
    }

private:
    QList<pid_t> m_running;
};

} // namespace

class TestAppQuitter : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir{QStringLiteral(PELMORA_BINARY_DIR "/tests/appquitter-XXXXXX")};
    QString m_appProgram;    // a copy of sleep that the fixture entry names
    QString m_shellProgram;  // a copy of dash under the same application name
    QString m_otherProgram;  // a copy of sleep that no entry names
    QString m_appName;

    QString copyProgram(const QString &from, const QString &name)
    {
        const QString to = m_dir.filePath("bin/" + name);
        QFile::copy(from, to);
        QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return to;
    }

    AppRegistry registry() const { return AppRegistry(RegistryPaths{m_dir.filePath("data"), {}, {}}); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        // Orphans of the shell test come back to this process to be reaped.
        QCOMPARE(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
        QVERIFY(QDir().mkpath(m_dir.filePath("bin")));
        const QString unique = QString::number(::getpid());
        m_appProgram = copyProgram("/bin/sleep", "pelmora-quit-" + unique + "-app");
        m_shellProgram = copyProgram("/bin/dash", "pelmora-quit-" + unique + "-shell");
        m_otherProgram = copyProgram("/bin/sleep", "pelmora-quit-" + unique + "-other");
        m_appName = "Pelmora Quit Test " + unique;

        QVERIFY(QDir().mkpath(m_dir.filePath("data/applications")));
        QFile app(m_dir.filePath("data/applications/quit-app.desktop"));
        QVERIFY(app.open(QIODevice::WriteOnly));
        app.write(entry(m_appName.toUtf8(), QFile::encodeName(m_appProgram)));
        app.close();
        QFile shell(m_dir.filePath("data/applications/quit-shell.desktop"));
        QVERIFY(shell.open(QIODevice::WriteOnly));
        shell.write(entry(m_appName.toUtf8(), QFile::encodeName(m_shellProgram) + " -c x"));
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
        QFETCH(bool, expected);
        FixtureTree proc;
        FixtureTree data;
        data.write("applications/fixture.desktop", entry("Fixture App", "/opt/fixture/apprun"));
        data.write("applications/other.desktop", entry("Other App", "/opt/other/otherrun"));
        const struct {
            int pid, ppid;
            const char *exe;
        } processes[] = {{1, 0, "/opt/fixture/apprun"},  {50, 1, "/usr/bin/bash"},       {100, 50, "/opt/fixture/apprun"},
                         {101, 100, "/opt/fixture/apprun"}, {102, 999, "/opt/fixture/apprun"}, {103, 1, "/opt/fixture/apprun"},
                         {104, 105, "/opt/fixture/apprun"}, {105, 50, "/opt/other/otherrun"},   {107, 50, "/opt/fixture/apprun"}};
        for (const auto &p : processes) {
            const QString dir = QString::number(p.pid) + '/';
            proc.symlink(dir + "exe", p.exe);
            proc.write(dir + "cgroup", "0::/\n");
            proc.write(dir + "stat", p.pid == 107 ? QByteArray("107 (apprun) garbage") : statLine(p.pid, p.ppid));
        }
        const AppRegistry registry(RegistryPaths{data.path(), {}, {}});
        const platform::ProcRoot root(proc.path().toStdString());
        QCOMPARE(pelmora::shouldSignal(appWith(appName, {pid}), pid, registry, root), expected);
    }

    void quitsTheApplicationsProcesses()
    {
        Spawned spawned;
        const pid_t first = spawned.start(m_appProgram, {"1000"});
        const pid_t second = spawned.start(m_appProgram, {"1000"});
        const pid_t unrelated = spawned.start(m_otherProgram, {"1000"});
        QVERIFY(first > 0 && second > 0 && unrelated > 0);

        const AppRegistry registry = this->registry();
        const platform::ProcRoot proc;
        // Someone else's application holding the same pids is not quit.
        QVERIFY(quitApplication(appWith("Another App", {first, second}), registry, proc).isEmpty());

        const QList<qint32> signalled =
            quitApplication(appWith(m_appName, {0, 1, first, unrelated, second}), registry, proc);
        QCOMPARE(signalled, (QList<qint32>{first, second}));
        QCOMPARE(spawned.waitForEnd(first, 5000), SIGTERM);
        QCOMPARE(spawned.waitForEnd(second, 5000), SIGTERM);
        QCOMPARE(spawned.waitForEnd(unrelated, 300), -1);
    }

    void leavesChildrenToTheirParent()
    {
        // The shell and the sleep it starts belong to one application; only
        // the shell is asked to quit.
        Spawned spawned;
        int fds[2];
        QCOMPARE(::pipe2(fds, O_CLOEXEC), 0);
        const QString script = "'" + m_appProgram + "' 1000 & echo $!; wait";
        const pid_t shell = spawned.start(m_shellProgram, {"-c", script}, fds[1]);
        ::close(fds[1]);
        QVERIFY(shell > 0);
        QByteArray line;
        char c = 0;
        pollfd ready{fds[0], POLLIN, 0};
        while (!line.endsWith('\n') && ::poll(&ready, 1, 5000) > 0 && ::read(fds[0], &c, 1) == 1)
            line.append(c);
        ::close(fds[0]);
        const pid_t child = line.trimmed().toInt();
        QVERIFY(child > 0);
        spawned.adopt(child);

        const AppRegistry registry = this->registry();
        const QList<qint32> signalled = quitApplication(appWith(m_appName, {child, shell}), registry, platform::ProcRoot());
        QCOMPARE(signalled, QList<qint32>{shell});
        QCOMPARE(spawned.waitForEnd(shell, 5000), SIGTERM);
        QCOMPARE(spawned.waitForEnd(child, 300), -1);
    }
};

QTEST_GUILESS_MAIN(TestAppQuitter)
#include "tst_appquitter.moc"
