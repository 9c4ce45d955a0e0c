#include "services/PsProcessSource.h"

#include "testsupport/FixtureTree.h"

#include <QFile>
#include <QTest>

#include <unistd.h>

using namespace pelmora;

namespace {

const PsAppNameLookup everything = [](qint32, QStringView command) { return std::optional(command.toString()); };

// A stand-in for the process-status tool: a script the test writes itself.
QString fakeTool(FixtureTree &tree, const QByteArray &body)
{
    const QString path = tree.write("ps", "#!/bin/sh\n" + body);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

} // namespace

class TestPsProcessSource : public QObject {
    Q_OBJECT
private slots:
    void runsTheToolWithItsArgumentsAndParsesItsOutput()
    {
        FixtureTree tree;
        const QString args = tree.filePath("args");
        // Writes its arguments, noise on standard error, and two processes.
        const PsProcessSource source(fakeTool(tree, "printf '%s\\n' \"$@\" > '" + args.toUtf8()
                                                       + "'\necho noise >&2\nprintf ' 1 2.0 3 /A.app/a\\n 4 0.0 0 b\\n'\n")
                                         .toStdString());
        const QList<ProcessMetric> ps = source.read(everything);
        QCOMPARE(ps.size(), 1);
        QCOMPARE(ps.front().id, 1);
        QFile f(args);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("-axo\npid=,pcpu=,rss=,comm=\n"));
    }

    void failuresGiveNoProcesses()
    {
        FixtureTree tree;
        QVERIFY(PsProcessSource(tree.filePath("missing").toStdString()).read(everything).isEmpty());
        const PsProcessSource failing(fakeTool(tree, "echo '1 1.0 1 /A.app/a'\nexit 1\n").toStdString());
        QVERIFY(failing.read(everything).isEmpty());
    }

    void largeOutputIsDrainedBeforeTheWait()
    {
        // Far more than a pipe holds: a tool that is waited on before it is
        // read would block forever here.
        FixtureTree tree;
        const PsProcessSource chatty(
            fakeTool(tree, "i=0; while [ $i -lt 20000 ]; do echo \"$i 1.0 1 /Chatty.app/worker\"; i=$((i+1)); done\n")
                .toStdString());
        QCOMPARE(chatty.read(everything).size(), 20000);
    }

    void realToolListsThisProcess()
    {
        if (!QFile::exists("/bin/ps"))
            QSKIP("/bin/ps is not installed");
        const QList<ProcessMetric> ps = PsProcessSource().read(everything);
        QVERIFY(std::any_of(ps.cbegin(), ps.cend(), [](const ProcessMetric &p) { return p.id == ::getpid(); }));
    }
};

QTEST_GUILESS_MAIN(TestPsProcessSource)
#include "tst_psprocesssource.moc"
