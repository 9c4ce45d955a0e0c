// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The one setting, in a file the user may have edited by hand, filled with
// other settings, damaged or linked elsewhere.
#include "support/PopoverHeightSetting.h"

#include "testsupport/FixtureTree.h"

#include <QDir>
#include <QTest>

#include <cstdio>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

using namespace pelmora;

namespace {

// What `run` writes to stderr.
QByteArray stderrOf(const std::function<void()> &run)
{
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    FILE *file = std::tmpfile();
    ::dup2(::fileno(file), STDERR_FILENO);
    run();
    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    QByteArray text(4096, '\0');
    text.truncate(std::max<ssize_t>(0, ::pread(::fileno(file), text.data(), size_t(text.size()), 0)));
    std::fclose(file);
    return text;
}

} // namespace

class TestPopoverHeightSetting : public QObject {
    Q_OBJECT

private slots:
    // A damaged or absent height falls back to 520; a readable one is kept as
    // stored, even out of range, and writing works afterwards. A file this
    // program cannot have written (far too large, a FIFO) is left as it is;
    // a symbolic link is replaced, not written through; a folder that is a
    // link is read through but never written into; an earlier version's
    // pelmora.ini is read once.
    void settingsFile_data()
    {
        QTest::addColumn<QString>("kind"); // how the content sits at the settings path
        QTest::addColumn<QByteArray>("content"); // null: no file
        QTest::addColumn<double>("height");
        QTest::addColumn<bool>("writable");
        const QByteArray stored600("[General]\npopoverHeight=600\n");
        QTest::newRow("no file") << "file" << QByteArray() << 520.0 << true;
        QTest::newRow("text") << "file" << QByteArray("[General]\npopoverHeight=tall\n") << 520.0 << true;
        QTest::newRow("nan") << "file" << QByteArray("[General]\npopoverHeight=nan\n") << 520.0 << true;
        QTest::newRow("infinite") << "file" << QByteArray("[General]\npopoverHeight=-inf\n") << 520.0 << true;
        QTest::newRow("typed value") << "file" << QByteArray("[General]\npopoverHeight=@Rect(0 0 10 600)\n") << 520.0
                                     << true;
        QTest::newRow("other group") << "file" << QByteArray("[Popover]\npopoverHeight=600\n") << 520.0 << true;
        QTest::newRow("out of range") << "file" << QByteArray("[General]\npopoverHeight=-40.5\n") << -40.5 << true;
        QTest::newRow("quoted, CRLF") << "file" << QByteArray("[General]\r\npopoverHeight = \"600\"\r\n") << 600.0
                                      << true;
        QTest::newRow("syntax error elsewhere") << "file" << stored600 + "[Other\n" << 600.0 << true;
        QTest::newRow("far too large") << "file" << stored600 + QByteArray(1 << 20, ';') << 520.0 << false;
        QTest::newRow("fifo") << "fifo" << QByteArray() << 520.0 << false;
        QTest::newRow("symbolic link") << "symlink" << stored600 << 600.0 << true;
        QTest::newRow("folder is a symbolic link") << "linked folder" << stored600 << 600.0 << false;
        QTest::newRow("earlier version's file") << "legacy" << stored600 << 600.0 << true;
    }
    void settingsFile()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, content);
        QFETCH(double, height);
        QFETCH(bool, writable);
        FixtureTree tree;
        const QDir dir(tree.filePath("pelmora"));
        QVERIFY(kind == "linked folder"
                    ? tree.makeDir("elsewhere") && tree.symlink("pelmora", tree.filePath("elsewhere"))
                    : tree.makeDir("pelmora"));
        const SettingsLocation where{dir.filePath("pelmora.conf"), dir.filePath("pelmora.ini")};
        if ((kind == "file" || kind == "linked folder") && !content.isNull())
            QCOMPARE(fileContents(tree.write("pelmora/pelmora.conf", content)), content);
        else if (kind == "fifo")
            QCOMPARE(::mkfifo(QFile::encodeName(where.fileName).constData(), 0600), 0);
        else if (kind == "symlink")
            QVERIFY(QFile::link(tree.write("elsewhere.conf", content), where.fileName));
        else if (kind == "legacy")
            QCOMPARE(fileContents(tree.write("pelmora/pelmora.ini", content)), content);

        PopoverHeightSetting setting(where);
        QCOMPARE(setting.read(), height);
        const QFileInfo before(where.fileName);
        const QByteArray complaints = stderrOf([&] {
            setting.write(610);
            setting.write(620);
        });
        QFileInfo after(where.fileName);
        if (!writable) {
            QCOMPARE(after.isFile() ? fileContents(where.fileName) : QByteArray("not a file"),
                     before.isFile() ? content : QByteArray("not a file"));
            QCOMPARE(PopoverHeightSetting(where).read(), height);
            QCOMPARE(complaints.count("pelmora: the panel's height is not stored: "), 1);
            QCOMPARE(tree.entries(kind == "linked folder" ? "elsewhere" : "pelmora").size(), 1); // no temporary
            return;
        }
        QVERIFY(after.isFile() && !after.isSymLink());
        QCOMPARE(PopoverHeightSetting(where).read(), 620.0);
        if (kind == "symlink")
            QCOMPARE(fileContents(tree.filePath("elsewhere.conf")), content);
        if (kind == "legacy") {
            // Moved over once: removing the new file (the documented reset) resets.
            QVERIFY(!QFileInfo::exists(where.legacyFileName));
            QVERIFY(QFile::remove(where.fileName));
            QCOMPARE(PopoverHeightSetting(where).read(), 520.0);
        }
    }

    // Writing the height changes that value alone; a file that does not read
    // as settings is kept under another name, with a line on stderr.
    void writingKeepsTheRest_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<bool>("keptAside");
        const auto row = [](const char *why, const QByteArray &before, const QByteArray &after, bool keptAside) {
            QTest::newRow(why) << before << after << keptAside;
        };
        const QByteArray fresh = "[General]\npopoverHeight=610\n";
        row("other keys, groups, comments",
            "; mine\n[General]\nother=1\npopoverHeight=520 \nlast=2\n\n[Window]\n# x\nx=1\n",
            "; mine\n[General]\nother=1\npopoverHeight=610 \nlast=2\n\n[Window]\n# x\nx=1\n", false);
        row("no height yet", "[General]\nother=1\n\n[Window]\nx=1\n",
            "[General]\nother=1\npopoverHeight=610\n\n[Window]\nx=1\n", false);
        row("keys before any group", "other=1\n[Window]\nx=1\n", "other=1\npopoverHeight=610\n[Window]\nx=1\n", false);
        row("no [General]", "[Window]\nx=1\n", fresh + "\n[Window]\nx=1\n", false);
        row("BOM, CRLF, no last line end", "\xEF\xBB\xBF[General]\r\nother=1",
            "\xEF\xBB\xBF[General]\r\nother=1\r\npopoverHeight=610\r\n", false);
        row("CRLF, cut after the last CR", "other=1\r\n;\r\nlast=2\r",
            "other=1\r\n;\r\nlast=2\r\npopoverHeight=610\r\n", false);
        row("a continued value", "[General]\nlist=a, \\\n  b\n[W]\n",
            "[General]\nlist=a, \\\n  b\npopoverHeight=610\n[W]\n", false);
        row("empty", "", fresh, false);
        const QByteArray large = "[General]\npopoverHeight=520\n[Big]\n" + QByteArray("k=v\n").repeated(15000);
        row("60 KB", large, QByteArray(large).replace("=520", "=610"), false);
        row("an open group", "[General]\npopoverHeight=600\n[Other\n", fresh, true);
        row("a line without =", "[General]\ngarbage\n", fresh, true);
        row("a NUL byte", QByteArray("[General]\nx=\0\n", 14), fresh, true);
    }
    void writingKeepsTheRest()
    {
        QFETCH(QByteArray, before);
        QFETCH(bool, keptAside);
        FixtureTree tree;
        const QString file = tree.write("pelmora/pelmora.conf", before);
        const QByteArray complaints = stderrOf([&] { PopoverHeightSetting(SettingsLocation{file}).write(610); });
        QTEST(fileContents(file), "after");
        QCOMPARE(QFileInfo::exists(file + ".damaged") ? fileContents(file + ".damaged") : QByteArray(),
                 keptAside ? before : QByteArray());
        QCOMPARE(complaints.count(".damaged, and a new one is written."), keptAside ? 1 : 0);
        QCOMPARE(tree.entries("pelmora").size(), 1 + int(keptAside)); // no temporary file
    }
};

QTEST_GUILESS_MAIN(TestPopoverHeightSetting)
#include "tst_popoverheightsetting.moc"
