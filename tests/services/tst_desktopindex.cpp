#include "services/registry/DesktopEntry.h"
#include "services/registry/DesktopIndex.h"
#include "testsupport/FixtureTree.h"
#include "testsupport/FolderTimes.h"

#include <QTest>

#include <sys/stat.h>

using namespace pelmora;

namespace {

QByteArray entry(const QByteArray &name, const QByteArray &exec, const QByteArray &extra = {})
{
    return "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=" + exec + "\n" + extra;
}

QString nameOf(const IndexedApp *app)
{
    return app ? app->name : QStringLiteral("<none>");
}

} // namespace

class TestDesktopIndex : public QObject {
    Q_OBJECT

    FixtureTree m_tree;
    RegistryPaths m_paths;

private slots:
    void initTestCase()
    {
        QVERIFY(m_tree.isValid());
        FixtureTree &t = m_tree;
        // Lookup order and ids.
        t.write("home/applications/foo.desktop", entry("Home Foo", "foo"));
        t.write("sys1/applications/foo.desktop", entry("System Foo", "foo"));
        t.write("sys1/applications/kde/okular.desktop", entry("Okular", "okular %U"));
        t.write("sys1/applications/kde/sub/deep.desktop", entry("Deep", "deep"));
        t.write("home/applications/baz.desktop", entry("Baz", "baz", "Hidden=true\n"));
        t.write("sys1/applications/baz.desktop", entry("Baz", "baz"));
        t.write("sys1/applications/link.desktop", "[Desktop Entry]\nType=Link\nName=Link\nURL=https://x\n");
        t.write("sys1/applications/nameless.desktop", "[Desktop Entry]\nType=Application\nExec=nameless\n");
        t.write("home/applications/shadowed.desktop", QByteArray("\x7F" "ELF\0\0\0", 7));
        t.write("sys2/applications/shadowed.desktop", entry("Shadowed", "shadowed"));
        t.write("sys2/applications/bar.desktop", entry("Bar", "bar"));
        t.write("elsewhere/real.desktop", entry("Linked", "linked"));
        t.symlink("sys2/applications/linked.desktop", t.filePath("elsewhere/real.desktop"));
        t.write("sys2/applications/notes.txt", entry("Not A Desktop File", "notes"));
        // Bad input: huge, invalid UTF-8, a FIFO, symlink loops.
        t.write("sys2/applications/huge.desktop",
                entry("Huge", "huge") + "#" + QByteArray(DesktopIndex::kMaxFileBytes, 'x') + "\n");
        t.write("sys2/applications/latin1.desktop", entry("Caf\xE9", "latin1"));
        QCOMPARE(::mkfifo(QFile::encodeName(t.filePath("sys2/applications/fifo.desktop")).constData(), 0600), 0);
        QVERIFY(t.symlink("sys1/applications/loop", "."));
        QVERIFY(t.symlink("sys1/applications/kde/sub/up", ".."));
        // Programs.
        t.write("home/applications/org.example.Editor.desktop", entry("Editor", "env A=1 /usr/bin/editor %F"));
        t.write("home/applications/editor-window.desktop", entry("New Editor Window", "editor --new-window"));
        t.write("home/applications/webapp-one.desktop", entry("One", "/opt/browserx --app=1"));
        t.write("home/applications/webapp-two.desktop", entry("Two", "/opt/browserx --app=2"));
        t.write("home/applications/suite-a.desktop", entry("Suite", "suite --a"));
        t.write("home/applications/suite-b.desktop", entry("Suite", "suite --b"));
        t.write("home/applications/tool-main.desktop", entry("Tool", "toolx"));
        t.write("home/applications/tool-helper.desktop", entry("Tool Helper", "toolx --helper", "NoDisplay=true\n"));
        t.write("home/applications/script.desktop", entry("Script", "python3.11 /opt/s.py"));
        t.write("home/applications/shell.desktop", entry("Shell Thing", "sh -c \"exec thing\""));
        t.write("home/applications/flat.desktop", entry("Flat", "/usr/bin/flatpak run org.flat.App"));
        t.write("home/applications/wrapped.desktop", entry("Real Tool", "/opt/wrapper.sh", "TryExec=/opt/bin/realtool\n"));
        t.write("home/applications/quoted.desktop", entry("Quoted", "\"/opt/My Apps/quoted app\" %f"));

        m_paths.dataHome = t.filePath("home");
        m_paths.dataDirs = {t.filePath("sys1"), t.filePath("sys2"), t.filePath("missing")};
    }

    void execProgram_data()
    {
        QTest::addColumn<QString>("exec");
        QTest::addColumn<QString>("program");
        QTest::newRow("field code") << "/usr/bin/evince %U" << "/usr/bin/evince";
        QTest::newRow("env assignments") << "env GDK_BACKEND=x11 FOO=\"a b\" /opt/app/bin/app --x" << "/opt/app/bin/app";
        QTest::newRow("env path and options") << "/usr/bin/env -u HOME -i LANG=C app" << "app";
        QTest::newRow("assignment without env") << "QT_SCALE=2 viewer %f" << "viewer";
        QTest::newRow("quoted with spaces") << "\"/opt/My App/bin/my app\" %f" << "/opt/My App/bin/my app";
        QTest::newRow("quoting escapes") << "\"/opt/a\\\"b\\\\c\\$d\" --flag" << "/opt/a\"b\\c$d";
        QTest::newRow("unterminated quote") << "\"/opt/x y" << "/opt/x y";
        QTest::newRow("only env") << "env A=1" << "";
        QTest::newRow("field code alone") << "%U" << "";
    }
    void execProgram()
    {
        QFETCH(QString, exec);
        QFETCH(QString, program);
        QCOMPARE(pelmora::execProgram(exec), program);
    }

    void parse_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("program");
        QTest::newRow("tolerant layout")
            << QByteArray("# comment\r\n[Other]\r\nName=Wrong\r\n[Desktop Entry]\r\n  Name =  Two\\sWords\\\\ \r\n"
                          "Name=Second\r\nExec = \"/opt/we\\\\\\\\ird/a\\\"b\" %u\r\nbroken line\r\n"
                          "[Desktop Action x]\r\nExec=no\r\n")
            << true << "Two Words\\" << "/opt/we\\ird/a\"b";
        QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBF[Desktop Entry]\nName=X\nExec=x\n") << true << "X"
                                         << "x";
        QTest::newRow("no desktop entry group") << QByteArray("[Other]\nName=X\n") << false << "" << "";
        QTest::newRow("binary") << QByteArray("[Desktop Entry]\nName=X") + QByteArray(1, 0) + "\x01\x02\n" << false << "" << "";
        QTest::newRow("invalid UTF-8") << QByteArray("[Desktop Entry]\nName=\xC3\x28\n") << false << "" << "";
    }
    void parse()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, valid);
        QFETCH(QString, name);
        QFETCH(QString, program);
        const std::optional<DesktopEntry> parsed = parseDesktopEntry(content);
        QCOMPARE(parsed.has_value(), valid);
        if (parsed) {
            QCOMPARE(parsed->name, name);
            QCOMPARE(pelmora::execProgram(parsed->exec), program);
        }
    }

    void byDesktopId_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("name");
        QTest::newRow("data home wins") << "foo.desktop" << "Home Foo";
        QTest::newRow("subfolder") << "kde-okular.desktop" << "Okular";
        QTest::newRow("nested subfolders") << "kde-sub-deep.desktop" << "Deep";
        QTest::newRow("subfolder id needs its prefix") << "okular.desktop" << "<none>";
        QTest::newRow("second data dir") << "bar.desktop" << "Bar";
        QTest::newRow("hidden copy hides the system's") << "baz.desktop" << "<none>";
        QTest::newRow("broken copy hides the system's") << "shadowed.desktop" << "<none>";
        QTest::newRow("not an application") << "link.desktop" << "<none>";
        QTest::newRow("no name: the id") << "nameless.desktop" << "nameless";
        QTest::newRow("symlinked file") << "linked.desktop" << "Linked";
        QTest::newRow("other extension") << "notes.txt" << "<none>";
        QTest::newRow("huge") << "huge.desktop" << "<none>";
        QTest::newRow("invalid UTF-8") << "latin1.desktop" << "<none>";
        QTest::newRow("FIFO") << "fifo.desktop" << "<none>";
        QTest::newRow("loop to itself") << "loop-foo.desktop" << "<none>";
        QTest::newRow("loop to parent") << "kde-sub-up-okular.desktop" << "<none>";
    }
    void byDesktopId()
    {
        QFETCH(QString, id);
        QFETCH(QString, name);
        const DesktopIndex index(m_paths);
        QCOMPARE(nameOf(index.findByDesktopId(id)), name);
    }

    void byProgram_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("name");
        QTest::newRow("after env, id names it") << "editor" << "Editor";
        QTest::newRow("shared, different names") << "browserx" << "<none>";
        QTest::newRow("shared, one name") << "suite" << "Suite";
        QTest::newRow("shown entry preferred") << "toolx" << "Tool";
        QTest::newRow("TryExec") << "realtool" << "Real Tool";
        QTest::newRow("Exec beside TryExec") << "wrapper.sh" << "Real Tool";
        QTest::newRow("quoted path") << "quoted app" << "Quoted";
        QTest::newRow("subfolder entry") << "okular" << "Okular";
        QTest::newRow("hidden entry") << "baz" << "<none>";
        QTest::newRow("versioned interpreter") << "python3.11" << "<none>";
        QTest::newRow("shell") << "sh" << "<none>";
        QTest::newRow("launcher") << "flatpak" << "<none>";
        QTest::newRow("unknown") << "nothing" << "<none>";
    }
    void byProgram()
    {
        QFETCH(QString, program);
        QFETCH(QString, name);
        const DesktopIndex index(m_paths);
        QCOMPARE(nameOf(index.findByProgram(program)), name);
    }

    void localizedName_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("name");
        QTest::newRow("country") << "de_AT.UTF-8" << "Österreich";
        QTest::newRow("country with modifier falls to lang") << "de_DE.UTF-8@euro" << "Deutsch";
        QTest::newRow("empty value is no name") << "de_CH" << "Deutsch";
        QTest::newRow("lang@modifier before lang") << "sr_RS@latin" << "Srpski";
        QTest::newRow("lang") << "sr_RS" << "Српски";
        QTest::newRow("untranslated") << "fr_FR.UTF-8" << "Plain";
        QTest::newRow("C locale") << "C.UTF-8" << "Plain";
    }
    void localizedName()
    {
        QFETCH(QString, locale);
        QFETCH(QString, name);
        FixtureTree tree;
        tree.write("data/applications/app.desktop",
                   entry("Plain", "app",
                         "Name[de]=Deutsch\nName[de_AT]=Österreich\nName[de_CH]=\nName[sr]=Српски\n"
                         "Name[sr@latin]=Srpski\n"));
        const RegistryPaths paths{tree.filePath("data"), {}, RegistryPaths::localeLookupOrder(locale)};
        QCOMPARE(nameOf(DesktopIndex(paths).findByDesktopId("app.desktop")), name);
    }

    void localeLookupOrder()
    {
        QCOMPARE(RegistryPaths::localeLookupOrder("sr_RS.UTF-8@latin"),
                 (QStringList{"sr_RS@latin", "sr_RS", "sr@latin", "sr"}));
    }

    void reindex_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("changed");
        QTest::newRow("nothing") << "" << false;
        QTest::newRow("file added in a subfolder") << "add" << true;
        QTest::newRow("file removed") << "remove" << true;
        QTest::newRow("applications folder created") << "create applications" << true;
        QTest::newRow("data dir created") << "create data dir" << true;
    }
    void reindex()
    {
        QFETCH(QString, change);
        QFETCH(bool, changed);
        FixtureTree tree;
        tree.write("home/applications/sub/a.desktop", entry("A", "a"));
        tree.makeDir("sys1");
        ageFolders(tree.path());
        const RegistryPaths paths{tree.filePath("home"), {tree.filePath("sys1"), tree.filePath("sys2")}, {}};
        const DesktopIndex index(paths);

        if (change == "add")
            tree.write("home/applications/sub/b.desktop", entry("B", "b"));
        else if (change == "remove")
            QVERIFY(tree.remove("home/applications/sub/a.desktop"));
        else if (change == "create applications")
            tree.write("sys1/applications/c.desktop", entry("C", "c"));
        else if (change == "create data dir")
            tree.write("sys2/applications/d.desktop", entry("D", "d"));
        QCOMPARE(index.changedSinceBuild(), changed);

        ageFolders(tree.path());
        QVERIFY(!DesktopIndex(paths).changedSinceBuild());
    }

    void changeAroundBuildIsLookedAtAgain()
    {
        // Folders modified within the clock's grain of the build may hide a
        // later change; the index asks to be rebuilt once that moment passed.
        FixtureTree tree;
        tree.write("home/applications/a.desktop", entry("A", "a"));
        const DesktopIndex index(RegistryPaths{tree.filePath("home"), {}, {}});
        QTRY_VERIFY_WITH_TIMEOUT(index.changedSinceBuild(), 5000);
    }
};

QTEST_GUILESS_MAIN(TestDesktopIndex)
#include "tst_desktopindex.moc"
