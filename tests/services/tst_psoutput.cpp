// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The ps fallback: its output lines, and the source run against a fake ps.
#include "services/AppPathRule.h"
#include "services/ProcessMetricsProvider.h"
#include "services/PsOutput.h"
#include "services/PsProcessSource.h"
#include "testsupport/FixtureTree.h"

#include <QFile>
#include <QTest>

#include <unistd.h>

using namespace pelmora;

namespace {

// The registry knows no application, so only the bundle-on-path rule names a process.
const PsAppNameLookup pathRuleOnly = [](qint32, QStringView path) { return appNameFromPath(path); };
const PsAppNameLookup everything = [](qint32, QStringView command) { return std::optional(command.toString()); };

// A stand-in for ps: a script the test writes itself.
std::string fakePs(FixtureTree &tree, const QByteArray &body)
{
    const QString path = tree.write("ps", "#!/bin/sh\n" + body);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path.toStdString();
}

} // namespace

class TestPsOutput : public QObject {
    Q_OBJECT
private slots:
    void parsesLine()
    {
        // "pid cpu bytes app|name"; empty: dropped
        for (const auto &[line, parsed] : std::initializer_list<std::pair<QString, QString>>{
                 {"  4242   12.5  20480 /Apps/Tool Box.app/MacOS/Tool Box", "4242 12.5 20971520 Tool Box|Tool Box"},
                 {"5 0.1 0 /A.app/a", "5 0.1 0 A|a"}, // busy, nothing resident
                 {QStringLiteral("\t\u00A07 1.0 1 /A.app/x\u2003\t"), "7 1 1024 A|x"}, // tabs, Unicode spaces
                 {"9 1 1 /Suite.app/Support/Worker.app/MacOS/Worker", "9 1 1024 Suite|Worker"}, // outermost bundle
                 {"5 1 18014398509481984 /A.app/a", "5 1 18446744073709551615 A|a"}, // resident KiB saturate
                 {"5 0.0 0 /A.app/a", ""}, // idle and empty
                 {"5 1.0x 1 /A.app/a", ""},
                 {"2147483648 1 1 /A.app/a", ""}, // pid overflows
                 {"5 1 -1 /A.app/a", ""}, // negative resident size
                 {"5 1 18446744073709551616 /A.app/a", ""}, // beyond 64 bits
                 {"5 1 1 /Tool.APP/x", ""},
                 {"5 1 1 /usr/bin/tool", ""}}) {
            const std::optional<ProcessMetric> p = parseProcessLine(line, pathRuleOnly);
            const QString got = p ? QStringLiteral("%1 %2 %3 %4|%5")
                                        .arg(p->id)
                                        .arg(p->cpuPercent)
                                        .arg(p->memoryBytes)
                                        .arg(p->appName, p->name)
                                  : QString();
            QVERIFY2(got == parsed, qPrintable(line + " -> " + got));
        }
    }

    void wholeOutput()
    {
        const std::string good = "  1 1.0 10 /A.app/a\n\n  2 0.0 0 /A.app/b\n3 2.0 1 /B.app/c\n";
        const QList<ProcessMetric> ps = parsePsOutput(good, 0, pathRuleOnly);
        QCOMPARE(ps.size(), 2);
        QCOMPARE((QList<qint32>{ps[0].id, ps[1].id}), (QList<qint32>{1, 3}));
        QVERIFY(parsePsOutput(good, 1, pathRuleOnly).isEmpty()); // failed run, even with lines
        QVERIFY(parsePsOutput(good + "4 1 1 /\xff.app/x\n", 0, pathRuleOnly).isEmpty()); // not UTF-8
        const std::string withNul("5 1 1 /A.app/a\0b\n6 1 1 /B.app/b\n", 30);
        QCOMPARE(parsePsOutput(withNul, 0, pathRuleOnly).size(), 2);
        const std::string longLine = "7 1 1 /A.app/" + std::string(1 << 20, 'x') + "\n";
        QCOMPARE(parsePsOutput(longLine, 0, pathRuleOnly).value(0).name.size(), 1 << 20);

        // The lookup is asked only for lines that can be kept.
        QList<qint32> asked;
        const PsAppNameLookup lookup = [&](qint32 pid, QStringView) -> std::optional<QString> {
            asked << pid;
            return QStringLiteral("N");
        };
        const QList<ProcessMetric> named = parsePsOutput("2 0.0 0 firefox\nx 1 1 firefox\n1 0.5 10 systemd\n", 0,
                                                         lookup);
        QCOMPARE(asked, QList<qint32>{1});
        QCOMPARE(named.value(0).name, QStringLiteral("systemd"));
    }

    void sourceRunsTheTool()
    {
        FixtureTree tree;
        const QByteArray args = tree.filePath("args").toUtf8();
        const PsProcessSource source(fakePs(tree,
                                            "printf '%s\\n' \"$@\" > '" + args
                                                + "'\necho noise >&2\nprintf ' 1 2.0 3 /A.app/a\\n 4 0.0 0 b\\n'\n"));
        const QList<ProcessMetric> ps = source.read(everything);
        QCOMPARE(ps.size(), 1);
        QCOMPARE(ps.front().id, 1);
        QCOMPARE(fileContents(tree.filePath("args")), QByteArray("-axo\npid=,pcpu=,rss=,comm=\n"));

        QVERIFY(PsProcessSource(tree.filePath("missing").toStdString()).read(everything).isEmpty());
        QVERIFY(PsProcessSource(fakePs(tree, "echo '1 1.0 1 /A.app/a'\nexit 1\n")).read(everything).isEmpty());
        // Far more than a pipe holds: waiting before reading would block forever.
        const PsProcessSource chatty(
            fakePs(tree, "i=0; while [ $i -lt 20000 ]; do echo \"$i 1.0 1 /C.app/w\"; i=$((i+1)); done\n"));
        QCOMPARE(chatty.read(everything).size(), 20000);

        if (QFile::exists("/bin/ps")) {
            const QList<ProcessMetric> real = PsProcessSource().read(everything);
            QVERIFY(std::any_of(real.cbegin(), real.cend(), [](const ProcessMetric &p) { return p.id == ::getpid(); }));
        }
    }

    // ps prints comm, cut to 15 characters or chosen by the process; the
    // provider names each process after its executable, as the /proc source
    // does, and takes the start time from the kernel.
    void providerNamesByExecutable()
    {
        FixtureTree tree;
        tree.write("data/applications/tool.desktop", desktopEntry("Tool", "long-program-name"));
        tree.write("proc/4242/stat", "4242 (long-program-na) S 1 1 1 0 -1 0 0 0 0 0 5 3 0 0 20 0 1 0 777 1000 25\n");
        tree.write("proc/4242/cgroup", "0::/user.slice\n");
        tree.symlink("proc/4242/exe", "/opt/tool/long-program-name");
        tree.write("proc/4243/stat", "4243 (own-name) S 1 1 1 0 -1 0 0 0 0 0 5 3 0 0 20 0 1 0 888 1000 25\n");
        tree.symlink("proc/4243/exe", "/opt/tool/long-program-name (deleted)");
        ProcessMetricsProvider::Options options;
        options.source = ProcessMetricsProvider::Source::ps;
        options.procRoot = tree.filePath("proc").toStdString();
        options.psProgram = fakePs(tree, "printf '4242 1.0 100 long-program-na\\n4243 1.0 100 own-name\\n'\n");
        options.registryPaths = RegistryPaths{tree.filePath("data"), {}, {}};
        QStringList got;
        for (const ProcessMetric &p : ProcessMetricsProvider(options).readProcesses())
            got << QStringLiteral("%1 %2 %3 %4").arg(p.id).arg(p.appName, p.name).arg(p.startTime);
        QCOMPARE(got, (QStringList{"4242 Tool long-program-name 777", "4243 Tool long-program-name 888"}));
    }
};

QTEST_GUILESS_MAIN(TestPsOutput)
#include "tst_psoutput.moc"
