// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/RuntimeProbe.h"

#include "testsupport/FixtureTree.h"
#include "testsupport/OtherUser.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace pelmora;
using namespace Qt::StringLiterals;
using Outcome = RuntimeProbe::Appended::Outcome;
using safefile::Problem;
Q_DECLARE_METATYPE(Outcome)
Q_DECLARE_METATYPE(Problem)

namespace {

// Files written by this process may grow to `bytes`: a write across that
// size comes back short and the next one fails, as on a full disk. SIGXFSZ,
// which would end the process, is ignored meanwhile.
struct FileSizeLimit {
    rlimit saved{};
    void (*handler)(int) = std::signal(SIGXFSZ, SIG_IGN);
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &saved);
        const rlimit limit{bytes, saved.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, handler);
    }
};

// Whether anything opened the file at `path` for writing while it was watched.
struct WriteWatch {
    const QString path;
    const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    const bool watching =
        ::inotify_add_watch(fd, QFile::encodeName(path).constData(), IN_CLOSE_WRITE | IN_MODIFY | IN_DONT_FOLLOW) >= 0;
    ~WriteWatch() { ::close(fd); }
    bool wasWritten() const
    {
        alignas(inotify_event) char events[4096];
        return ::read(fd, events, sizeof events) > 0; // the kernel queues the events before close(2) returns
    }
};

} // namespace

class TestRuntimeProbe : public QObject {
    Q_OBJECT

    std::optional<OtherUser> m_other; // made on first use, as root

private slots:
    void resolvePath_data()
    {
        QTest::addColumn<QByteArray>("environment"); // null: unset
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("path"); // null: the trail is off
        const QByteArray unset;
        const QString off;
        QTest::newRow("nothing") << unset << QStringList{"pelmora", "--window"} << off;
        QTest::newRow("two arguments") << unset << QStringList{"pelmora", "--metrics-probe", "/t"} << u"/t"_s;
        QTest::newRow("with =") << unset << QStringList{"pelmora", "--metrics-probe=/t"} << u"/t"_s;
        QTest::newRow("with = and nothing after") << unset << QStringList{"pelmora", "--metrics-probe="} << u""_s;
        QTest::newRow("last argument") << unset << QStringList{"pelmora", "--window", "--metrics-probe"} << off;
        QTest::newRow("the first one counts")
            << unset << QStringList{"pelmora", "--metrics-probe=/a", "--metrics-probe", "/b"} << u"/a"_s;
        QTest::newRow("a longer option is another") << unset << QStringList{"pelmora", "--metrics-probes", "/t"} << off;
        QTest::newRow("after --") << unset << QStringList{"pelmora", "--", "--metrics-probe", "/t"} << off;
        QTest::newRow("the variable wins")
            << QByteArray("/env") << QStringList{"pelmora", "--metrics-probe", "/t"} << u"/env"_s;
        QTest::newRow("an empty variable counts") << QByteArray("") << QStringList{"pelmora"} << u""_s;
    }
    void resolvePath()
    {
        QFETCH(QByteArray, environment);
        QFETCH(QStringList, arguments);
        QFETCH(QString, path);
        QCOMPARE(RuntimeProbe::resolvePath(environment.isNull() ? std::nullopt : std::optional(environment), arguments),
                 path.isNull() ? std::nullopt : std::optional(path));
    }

    void formatNumber_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0.0 << "0.0";
        QTest::newRow("negative zero") << -0.0 << "-0.0";
        QTest::newRow("whole percentage") << 37.0 << "37.0";
        QTest::newRow("percentage") << 37.5 << "37.5";
        QTest::newRow("whole seconds") << 1800000000.0 << "1800000000.0";
        QTest::newRow("seconds") << 1764930000.25 << "1764930000.25";
        QTest::newRow("a third") << 100.0 / 3.0 << "33.333333333333336";
        QTest::newRow("tiny") << 1e-7 << "0.0000001";
        QTest::newRow("huge") << 1e22 << "10000000000000000000000.0";
    }
    void formatNumber()
    {
        QFETCH(double, value);
        QTEST(RuntimeProbe::formatNumber(value), "text");
    }

    void trailLine()
    {
        QCOMPARE(RuntimeProbe::formatLine({{"z", "1"}, {"event", "snapshot"}, {"cpuPercent", "0.0"}}),
                 QByteArray("{\"cpuPercent\":\"0.0\",\"event\":\"snapshot\",\"z\":\"1\"}\n"));
    }

    // What lies at the trail path decides whether the line is written: only
    // a regular file of our own (or nothing, then created 0600) in folders of
    // ours or root's takes it, and what is refused is not even opened for
    // writing. As root also paths another user could have prepared, and a
    // device.
    void trailPaths_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("trail"); // relative to the tree
        QTest::addColumn<Problem>("problem");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<QByteArray>("after"); // what the trail then reads as; null: not read
        const auto row = [](const char *why, const char *kind, const char *trail, Problem problem, Outcome outcome,
                            const QByteArray &after) {
            QTest::newRow(why) << QString(kind) << QString(trail) << problem << outcome << after;
        };
        const QByteArray unreadable("<unreadable>"), unread;
        row("nothing there", "missing", "trail.log", Problem::none, Outcome::written, "line\n");
        row("a file", "file", "trail.log", Problem::none, Outcome::written, "old\nline\n");
        row("a link to a file", "link", "trail.log", Problem::link, Outcome::refused, "old\n");
        row("a dangling link", "dangling", "trail.log", Problem::link, Outcome::refused, unreadable);
        row("a second name of a file", "hardlink", "trail.log", Problem::secondName, Outcome::refused, "old\n");
        row("a directory", "directory", "trail.log", Problem::notAFile, Outcome::refused, unread);
        row("a FIFO nobody reads", "fifo", "trail.log", Problem::failed, Outcome::dropped, unread);
        row("a folder that does not exist", "no folder", "missing/trail.log", Problem::missing, Outcome::dropped,
            unreadable);
        row("another user's file", "their file", "trail.log", Problem::foreignFile, Outcome::refused, "theirs\n");
        row("another user's file, in a sticky folder anyone may write", "their file", "sticky/trail.log",
            Problem::foreignFile, Outcome::refused, "theirs\n");
        row("another user's FIFO, read", "their fifo", "trail.fifo", Problem::foreignFile, Outcome::refused, unread);
        row("a folder another user owns", "their folder", "theirs/trail.log", Problem::foreignFolder, Outcome::refused,
            unreadable);
        row("another user's link to a root-only folder", "their link", "link/trail.log", Problem::foreignLink,
            Outcome::refused, unreadable);
        row("our link to that folder", "our link", "ours/trail.log", Problem::none, Outcome::written, "line\n");
        row("a device", "device", "null", Problem::notAFile, Outcome::refused, unread);
    }
    void trailPaths()
    {
        QFETCH(QString, kind);
        QFETCH(QString, trail);
        QFETCH(Problem, problem);
        QFETCH(Outcome, outcome);
        QFETCH(QByteArray, after);
        if (kind.startsWith(u"their")) {
            if (::geteuid() != 0)
                QSKIP("needs root: gives files to a user it creates");
            if (!m_other)
                m_other.emplace(QStringLiteral("probe"));
            QVERIFY2(m_other->isValid(), qPrintable(m_other->errorString()));
        }
        FixtureTree tree;
        const QString path = tree.filePath(trail);
        const auto bytes = [](const QString &p) { return QFile::encodeName(p); };
        int reader = -1;
        if (kind == "file") {
            tree.write(trail, "old\n");
        } else if (kind == "link" || kind == "dangling") {
            QVERIFY(
                tree.symlink(trail, kind == "link" ? tree.write("other/victim", "old\n") : tree.filePath("victim")));
        } else if (kind == "hardlink") {
            QCOMPARE(::link(bytes(tree.write("other/victim", "old\n")).constData(), bytes(path).constData()), 0);
        } else if (kind == "directory") {
            QVERIFY(tree.makeDir(trail));
        } else if (kind == "fifo") {
            QCOMPARE(::mkfifo(bytes(path).constData(), 0600), 0);
        } else if (kind == "their file") {
            if (trail.startsWith(u"sticky/"))
                QVERIFY(tree.makeDir("sticky") && ::chmod(bytes(tree.filePath("sticky")).constData(), 01777) == 0);
            QVERIFY(m_other->give(tree.write(trail, "theirs\n")) && ::chmod(bytes(path).constData(), 0666) == 0);
        } else if (kind == "their fifo") {
            QVERIFY(::mkfifo(bytes(path).constData(), 0666) == 0 && m_other->give(path));
            reader = ::open(bytes(path).constData(), O_RDONLY | O_NONBLOCK);
            QVERIFY(reader >= 0);
        } else if (kind == "their folder") {
            QVERIFY(tree.makeDir("theirs") && ::chmod(bytes(tree.filePath("theirs")).constData(), 0777) == 0);
            QVERIFY(m_other->give(tree.filePath("theirs")));
        } else if (kind == "their link" || kind == "our link") {
            const QString link = trail.section(u'/', 0, 0);
            QVERIFY(tree.makeDir("rootonly") && ::chmod(bytes(tree.filePath("rootonly")).constData(), 0700) == 0);
            QVERIFY(tree.symlink(link, tree.filePath("rootonly")));
            QVERIFY(kind == "our link" || m_other->give(tree.filePath(link)));
        } else if (kind == "device") {
            // The null device, which opens for reading on a mount that allows devices at all.
            const int node = ::mknod(bytes(path).constData(), S_IFCHR | 0666, makedev(1, 3)) == 0
                ? ::open(bytes(path).constData(), O_RDONLY | O_CLOEXEC)
                : -1;
            if (node < 0)
                QSKIP("no usable device node here");
            ::close(node);
        }
        const bool exists = QFileInfo::exists(path);
        const WriteWatch watch{path};
        QVERIFY(!exists || watch.watching);

        const RuntimeProbe::Appended appended = RuntimeProbe::appendLine(path, "line\n");
        QCOMPARE(appended.problem, problem);
        QCOMPARE(appended.outcome, outcome);
        if (exists && outcome != Outcome::written)
            QVERIFY(!watch.wasWritten());
        if (!after.isNull())
            QCOMPARE(fileContents(path), after);
        QCOMPARE(QFileInfo(path).isSymLink(), kind == "link" || kind == "dangling");
        if (reader >= 0) {
            char got[16];
            QVERIFY(::read(reader, got, sizeof got) <= 0); // nothing was written
            ::close(reader);
        }
        if (outcome == Outcome::refused)
            QVERIFY(RuntimeProbe::refusalMessage(path, problem).contains(path));
        if (kind == "missing") { // private, with no temporary file left beside it
            struct stat st { };
            QVERIFY(::stat(bytes(path).constData(), &st) == 0 && (st.st_mode & 07777) == 0600);
            QCOMPARE(tree.entries(), QStringList{"trail.log"});
        }
    }

    // A FIFO with a reader takes each line whole; a full one drops it rather than block.
    void trailToFifo()
    {
        FixtureTree tree;
        const QByteArray fifo = QFile::encodeName(tree.filePath("fifo"));
        QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
        const int reader = ::open(fifo.constData(), O_RDONLY | O_NONBLOCK);
        QVERIFY(reader >= 0);
        const QByteArray line(1000, 'x');
        for (int i = 0; i < 200; ++i) // 200 kB: more than a pipe holds
            RuntimeProbe::appendLine(tree.filePath("fifo"), line + '\n');
        QByteArray got(300000, '\0');
        const ssize_t n = ::read(reader, got.data(), size_t(got.size()));
        ::close(reader);
        QVERIFY(n > 0 && n < 200 * 1001);
        QCOMPARE(n % 1001, 0);
        QCOMPARE(got.left(n), QByteArray(line + '\n').repeated(int(n / 1001)));
    }

    // The disk fills up in the middle of a line: the file is cut back to the
    // line before, and the next line, once there is room, starts cleanly.
    void shortWriteLeavesNoFragment()
    {
        FixtureTree tree;
        const QString path = tree.write("trail.log", "{\"event\":\"metricsStoreInit\"}\n");
        const QByteArray line = "{\"cpuPercent\":\"12.5\",\"event\":\"snapshot\"}\n";
        {
            const FileSizeLimit full(QFileInfo(path).size() + 10);
            RuntimeProbe::appendLine(path, line);
            QCOMPARE(fileContents(path), "{\"event\":\"metricsStoreInit\"}\n");
            RuntimeProbe::appendLine(tree.filePath("new.log"), line); // a new trail: not even created
        }
        QCOMPARE(tree.entries(), QStringList{"trail.log"});
        RuntimeProbe::appendLine(path, "{\"event\":\"refreshBegin\"}\n");
        QCOMPARE(fileContents(path), "{\"event\":\"metricsStoreInit\"}\n{\"event\":\"refreshBegin\"}\n");
    }
};

QTEST_GUILESS_MAIN(TestRuntimeProbe)
#include "tst_runtimeprobe.moc"
