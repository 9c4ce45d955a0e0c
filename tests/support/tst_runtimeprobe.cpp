// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/RuntimeProbe.h"

#include "testsupport/FixtureTree.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace pelmora;

class TestRuntimeProbe : public QObject {
    Q_OBJECT

private slots:
    void trailTexts()
    {
        QCOMPARE(RuntimeProbe::formatLine({{"z", "1"}, {"event", "snapshot"}, {"cpuPercent", "0.0"}}),
                 QByteArray("{\"cpuPercent\":\"0.0\",\"event\":\"snapshot\",\"z\":\"1\"}\n"));
        QCOMPARE(RuntimeProbe::formatNumber(1764930000.0), QStringLiteral("1764930000.0"));
        for (const double v : {1764930000.25, 100.0 / 3.0, 1e-7}) // shortest text that reads back the same
            QCOMPARE(RuntimeProbe::formatNumber(v).toDouble(), v);
    }

    void trailFileIsCreatedOnceThenOnlyAppended()
    {
        FixtureTree tree;
        const auto contents = [&](const QString &name) {
            QFile f(tree.filePath(name));
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
        };
        RuntimeProbe::appendLine(tree.filePath("trail.log"), "one\n");
        RuntimeProbe::appendLine(tree.filePath("trail.log"), "two\n");
        QCOMPARE(contents("trail.log"), QByteArray("one\ntwo\n"));
        RuntimeProbe::appendLine(tree.write("kept.log", "old\n"), "new\n");
        QCOMPARE(contents("kept.log"), QByteArray("old\nnew\n"));
        // Silently nothing for a missing folder or a device that refuses.
        RuntimeProbe::appendLine(tree.filePath("missing/trail.log"), "x\n");
        RuntimeProbe::appendLine(QStringLiteral("/dev/full"), "x\n");
        // A FIFO with a reader would take the line (and block once full): it is skipped.
        const QByteArray fifo = QFile::encodeName(tree.filePath("fifo"));
        QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
        const int reader = ::open(fifo.constData(), O_RDONLY | O_NONBLOCK);
        RuntimeProbe::appendLine(tree.filePath("fifo"), "x\n");
        char byte;
        QVERIFY(reader >= 0 && ::read(reader, &byte, 1) <= 0);
        ::close(reader);
        QCOMPARE(QDir(tree.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System),
                 (QStringList{"fifo", "kept.log", "trail.log"})); // no temporary file left, no folder made
    }};

QTEST_GUILESS_MAIN(TestRuntimeProbe)
#include "tst_runtimeprobe.moc"
