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
using Outcome = RuntimeProbe::Appended::Outcome;
using safefile::Problem;
Q_DECLARE_METATYPE(Outcome)
Q_DECLARE_METATYPE(Problem)

namespace {

// Files written by this process may grow to `bytes`: a write across that
// size comes back short and the next one fails, as on a full disk. SIGXFSZ,
// which would end the process, is ignored meanwhile.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{bytes, m_saved.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_handler);
    }

private:
    rlimit m_saved{};
    void (*m_handler)(int) = nullptr;
};

// Whether anything opened the file at `path` for writing while it was watched.
class WriteWatch {
public:
    explicit WriteWatch(const QString &path) : m_fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        m_watching = m_fd >= 0
            && ::inotify_add_watch(m_fd, QFile::encodeName(path).constData(),
                                   IN_CLOSE_WRITE | IN_MODIFY | IN_DONT_FOLLOW)
                >= 0;
    }
    ~WriteWatch() { ::close(m_fd); }
    bool isWatching() const { return m_watching; }
    bool wasWritten() const
    {
        alignas(inotify_event) char events[4096];
        return ::read(m_fd, events, sizeof events) > 0; // the kernel queues the events before close(2) returns
    }

private:
    int m_fd;
    bool m_watching = false;
};

} // namespace

class TestRuntimeProbe : public QObject {
    Q_OBJECT

    std::optional<OtherUser> m_other; // made on first use, as root

private slots:
    void resolvePath_data()
    {
        QTest::addColumn<QVariant>("environment"); // a QByteArray, or nothing when unset
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QVariant>("path"); // a QString, or nothing when the trail is off
        const QVariant unset, off;
        QTest::newRow("nothing") << unset << QStringList{"pelmora", "--window"} << off;
        QTest::newRow("two arguments") << unset << QStringList{"pelmora", "--metrics-probe", "/t"} << QVariant("/t");
        QTest::newRow("with =") << unset << QStringList{"pelmora", "--metrics-probe=/t"} << QVariant("/t");
        QTest::newRow("with = and nothing after")
            << unset << QStringList{"pelmora", "--metrics-probe="} << QVariant("");
        QTest::newRow("last argument") << unset << QStringList{"pelmora", "--window", "--metrics-probe"} << off;
        QTest::newRow("the first one counts")
            << unset << QStringList{"pelmora", "--metrics-probe=/a", "--metrics-probe", "/b"} << QVariant("/a");
        QTest::newRow("a longer option is another") << unset << QStringList{"pelmora", "--metrics-probes", "/t"} << off;
        QTest::newRow("after --") << unset << QStringList{"pelmora", "--", "--metrics-probe", "/t"} << off;
        QTest::newRow("the variable wins")
            << QVariant(QByteArray("/env")) << QStringList{"pelmora", "--metrics-probe", "/t"} << QVariant("/env");
        QTest::newRow("an empty variable counts") << QVariant(QByteArray("")) << QStringList{"pelmora"} << QVariant("");
    }
    void resolvePath()
    {
        QFETCH(QVariant, environment);
        QFETCH(QStringList, arguments);
        QFETCH(QVariant, path);
        const auto variable = environment.isValid() ? std::optional(environment.toByteArray()) : std::nullopt;
        const std::optional<QString> got = RuntimeProbe::resolvePath(variable, arguments);
        QCOMPARE(got.has_value(), path.isValid());
        QCOMPARE(got.value_or(QString()), path.toString());
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
        QCOMPARE(std::signbit(RuntimeProbe::formatNumber(value).toDouble()), std::signbit(value));
    }

    void trailLine()
    {
        QCOMPARE(RuntimeProbe::formatLine({{"z", "1"}, {"event", "snapshot"}, {"cpuPercent", "0.0"}}),
                 QByteArray("{\"cpuPercent\":\"0.0\",\"event\":\"snapshot\",\"z\":\"1\"}\n"));
    }

    // What lies at the trail path decides whether the line is written:
    // only a regular file of its own (or nothing, then created 0600) takes it.
    void trailPaths_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("trail"); // what the path then reads as
        QTest::addColumn<QByteArray>("target"); // what the file behind a link or second name holds
        QTest::addColumn<Outcome>("outcome");
        const QByteArray unreadable("<unreadable>");
        QTest::newRow("nothing there") << "missing" << QByteArray("line\n") << QByteArray() << Outcome::written;
        QTest::newRow("a file") << "file" << QByteArray("old\nline\n") << QByteArray() << Outcome::written;
        QTest::newRow("a link to a file") << "link" << QByteArray("old\n") << QByteArray("old\n") << Outcome::refused;
        QTest::newRow("a dangling link") << "dangling" << unreadable << unreadable << Outcome::refused;
        QTest::newRow("a second name of a file")
            << "hardlink" << QByteArray("old\n") << QByteArray("old\n") << Outcome::refused;
        QTest::newRow("a directory") << "directory" << QByteArray("") << QByteArray() << Outcome::refused;
        QTest::newRow("a FIFO nobody reads") << "fifo" << QByteArray() << QByteArray() << Outcome::dropped;
        QTest::newRow("a folder that does not exist") << "no folder" << unreadable << QByteArray() << Outcome::dropped;
    }
    void trailPaths()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, trail);
        QFETCH(QByteArray, target);
        FixtureTree tree;
        QString path = tree.filePath("trail.log");
        const QString other = tree.filePath("other/victim");
        if (kind == "file")
            tree.write("trail.log", "old\n");
        else if (kind == "link")
            tree.symlink("trail.log", tree.write("other/victim", "old\n"));
        else if (kind == "dangling")
            tree.symlink("trail.log", other);
        else if (kind == "hardlink")
            QCOMPARE(::link(QFile::encodeName(tree.write("other/victim", "old\n")).constData(),
                            QFile::encodeName(path).constData()),
                     0);
        else if (kind == "directory")
            tree.makeDir("trail.log");
        else if (kind == "fifo")
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else if (kind == "no folder")
            path = tree.filePath("missing/trail.log");

        QTEST(RuntimeProbe::appendLine(path, "line\n").outcome, "outcome");

        if (kind != "directory" && kind != "fifo")
            QCOMPARE(fileContents(path), trail);
        if (!target.isNull())
            QCOMPARE(fileContents(other), target);
        QCOMPARE(QFileInfo(path).isSymLink(), kind == "link" || kind == "dangling");
        struct stat st { };
        if (kind == "missing")
            QVERIFY(::stat(QFile::encodeName(path).constData(), &st) == 0 && (st.st_mode & 07777) == 0600);
        QStringList left = tree.entries();
        left.removeAll("other");
        QVERIFY2(left.size() == (kind == "no folder" ? 0 : 1), qPrintable(left.join(' '))); // no temporary file
    }

    // As root: a path that another user could have prepared is refused, and
    // nothing at it is opened for writing, a device least of all.
    void pathsThatAreNotOurs_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("trail"); // relative to the tree
        QTest::addColumn<Problem>("problem"); // none: the line is written
        const auto row = [](const char *why, const char *kind, const char *trail, Problem problem) {
            QTest::newRow(why) << QString(kind) << QString(trail) << problem;
        };
        row("another user's file", "file", "trail.log", Problem::foreignFile);
        row("another user's file, in a sticky folder anyone may write", "sticky", "sticky/trail.log",
            Problem::foreignFile);
        row("another user's FIFO, read", "fifo", "trail.fifo", Problem::foreignFile);
        row("a folder another user owns", "folder", "theirs/trail.log", Problem::foreignFolder);
        row("another user's link to a root-only folder", "link", "link/trail.log", Problem::foreignLink);
        row("our link to that folder", "our link", "ours/trail.log", Problem::none);
        row("a device", "device", "null", Problem::notAFile);
    }
    void pathsThatAreNotOurs()
    {
        QFETCH(QString, kind);
        QFETCH(QString, trail);
        QFETCH(Problem, problem);
        if (::geteuid() != 0)
            QSKIP("needs root: gives files to a user it creates");
        if (!m_other)
            m_other.emplace(QStringLiteral("probe"));
        QVERIFY2(m_other->isValid(), qPrintable(m_other->errorString()));
        FixtureTree tree;
        const QString path = tree.filePath(trail);
        const auto bytes = [](const QString &p) { return QFile::encodeName(p); };
        QVERIFY(tree.makeDir("rootonly") && ::chmod(bytes(tree.filePath("rootonly")).constData(), 0700) == 0);
        int reader = -1;
        if (kind == "file" || kind == "sticky") {
            if (kind == "sticky")
                QVERIFY(tree.makeDir("sticky") && ::chmod(bytes(tree.filePath("sticky")).constData(), 01777) == 0);
            QVERIFY(m_other->give(tree.write(trail, "theirs\n")) && ::chmod(bytes(path).constData(), 0666) == 0);
        } else if (kind == "fifo") {
            QVERIFY(::mkfifo(bytes(path).constData(), 0666) == 0 && m_other->give(path));
            reader = ::open(bytes(path).constData(), O_RDONLY | O_NONBLOCK);
            QVERIFY(reader >= 0);
        } else if (kind == "folder") {
            QVERIFY(tree.makeDir("theirs") && ::chmod(bytes(tree.filePath("theirs")).constData(), 0777) == 0);
            QVERIFY(m_other->give(tree.filePath("theirs")));
        } else if (kind == "link" || kind == "our link") {
            const QString link = tree.filePath(kind == "link" ? "link" : "ours");
            QVERIFY(tree.symlink(QFileInfo(link).fileName(), tree.filePath("rootonly")));
            QVERIFY(kind == "our link" || m_other->give(link));
        } else {
            // The null device, which opens for reading on a mount that allows devices at all.
            const int node = ::mknod(bytes(path).constData(), S_IFCHR | 0666, makedev(1, 3)) == 0
                ? ::open(bytes(path).constData(), O_RDONLY | O_CLOEXEC)
                : -1;
            if (node < 0)
                QSKIP("no usable device node here");
            ::close(node);
        }
        const bool exists = QFileInfo::exists(path);
        const WriteWatch watch(path);
        QVERIFY(!exists || watch.isWatching());

        const RuntimeProbe::Appended appended = RuntimeProbe::appendLine(path, "line\n");
        QCOMPARE(appended.problem, problem);
        QCOMPARE(appended.outcome, problem == Problem::none ? Outcome::written : Outcome::refused);
        if (exists)
            QVERIFY(!watch.wasWritten());
        if (kind == "file" || kind == "sticky")
            QCOMPARE(fileContents(path), "theirs\n");
        if (reader >= 0) {
            char got[16];
            QVERIFY(::read(reader, got, sizeof got) <= 0); // nothing was written
            ::close(reader);
        }
        QCOMPARE(tree.entries("rootonly"), problem == Problem::none ? QStringList{"trail.log"} : QStringList());
        QVERIFY(!QFile::exists(tree.filePath("theirs/trail.log")));
        if (problem != Problem::none)
            QVERIFY(RuntimeProbe::refusalMessage(path, problem).contains(path));
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
