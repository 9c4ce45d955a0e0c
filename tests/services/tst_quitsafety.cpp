// Quitting never reaches what it must not: another user's process is
// skipped without fuss, and nothing a desktop entry names is ever run.
#include "platform/ProcessSignal.h"
#include "services/ProcessFacts.h"
#include "services/registry/AppQuitter.h"
#include "services/registry/AppRegistry.h"
#include "support/TextServices.h"

#include "testsupport/FixtureTree.h"

#include <QFile>
#include <QTest>

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace pelmora;

class TestQuitSafety : public QObject {
    Q_OBJECT
private slots:
    void anotherUsersProcessIsSkippedSilently()
    {
        // A process of ours (root in CI) that an unprivileged user's registry
        // attributes to an application it then quits: the request must fail
        // quietly and leave the process running.
        if (::geteuid() != 0)
            QSKIP("needs root to act as another user");
        FixtureTree tree;
        tree.write("data/applications/sleeper.desktop", "[Desktop Entry]\nType=Application\nName=Sleeper\nExec=sleep\n");
        const pid_t target = ::fork();
        if (target == 0) {
            ::execl("/bin/sleep", "sleep", "600", static_cast<char *>(nullptr));
            ::_exit(127);
        }
        QVERIFY(target > 0);
        QTest::qWait(100);
        ::chmod(QFile::encodeName(tree.path()).constData(), 0755);

        const pid_t asker = ::fork();
        if (asker == 0) {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(100);
            RegistryPaths paths;
            paths.dataHome = tree.filePath("data");
            const AppRegistry registry(paths);
            const platform::ProcRoot root;
            if (!shouldSignal(AppMetric{"sleeper", "Sleeper", 0, 1, {}}, target, registry, root))
                ::_exit(101); // not even attributed: the test would prove nothing
            const AppMetric app{"sleeper", "Sleeper", 0, 1, {ProcessMetric{target, "Sleeper", "sleep", 0, 1}}};
            ::_exit(int(quitApplication(app, registry, root).size()));
        }
        int status = 0;
        QCOMPARE(::waitpid(asker, &status, 0), asker);
        QVERIFY(WIFEXITED(status));
        const int signalled = WEXITSTATUS(status);
        const bool stillRunning = ::waitpid(target, &status, WNOHANG) == 0;
        ::kill(target, SIGKILL);
        ::waitpid(target, nullptr, 0);
        QCOMPARE(signalled, 0);
        QVERIFY(stillRunning);
    }

    void desktopEntriesAreNeverRun()
    {
        FixtureTree tree;
        const QString marker = tree.filePath("ran");
        const QByteArray touch = "sh -c 'touch " + QFile::encodeName(marker) + "'";
        tree.write("data/applications/trap.desktop",
                   "[Desktop Entry]\nType=Application\nName=Sleeper\nExec=" + touch + "\nTryExec=" + touch + "\n");
        tree.write("data/applications/sleeper.desktop",
                   "[Desktop Entry]\nType=Application\nName=Sleeper\nExec=sleep 600\nTryExec=/bin/sh -c 'touch "
                       + QFile::encodeName(marker) + "'\n");
        RegistryPaths paths;
        paths.dataHome = tree.filePath("data");

        // Index, look a live process up, and quit it: the whole path.
        const pid_t sleeper = ::fork();
        if (sleeper == 0) {
            ::execl("/bin/sleep", "sleep", "600", static_cast<char *>(nullptr));
            ::_exit(127);
        }
        QTest::qWait(100);
        AppRegistry registry(paths);
        registry.refreshIfChanged();
        const platform::ProcRoot root;
        const std::optional<QString> name = registry.applicationName(readProcessFacts(root, sleeper));
        QCOMPARE(name.value_or(QString()), QStringLiteral("Sleeper"));
        const AppMetric app{localizedLowercase(*name), *name, 0, 1, {ProcessMetric{sleeper, *name, "sleep", 0, 1}}};
        QCOMPARE(quitApplication(app, registry, root), QList<std::int32_t>{sleeper});
        int status = 0;
        QCOMPARE(::waitpid(sleeper, &status, 0), sleeper);
        QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
        QVERIFY(!QFile::exists(marker));
    }
};

QTEST_GUILESS_MAIN(TestQuitSafety)
#include "tst_quitsafety.moc"
