// Which application owns a process: systemd unit names from the control
// group, desktop files and their index, and the registry that asks both.
#include "services/registry/AppRegistry.h"
#include "services/registry/DesktopEntry.h"
#include "services/registry/UnitName.h"
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

QString nameOf(const IndexedApp *app) { return app ? app->name : QStringLiteral("<none>"); }

const QByteArray kApps = "0::/user.slice/user-1000.slice/user@1000.service/app.slice/";

} // namespace

class TestAppRegistry : public QObject {
    Q_OBJECT

    FixtureTree m_tree;
    RegistryPaths m_paths;
    DesktopIndex m_index;

private slots:
    void initTestCase()
    {
        FixtureTree &t = m_tree;
        // "<data folder>/<path below applications>|Name|Exec|extra lines"
        for (const QString spec :
             {"home/foo|Home Foo|foo", "sys1/foo|System Foo|foo", "sys1/kde/okular|Okular|okular %U",
              "sys1/org.kde.okular|Okular|okular %U", "sys1/org.gnome.Evince|Document Viewer|evince %U",
              "sys1/browser|Browser|/opt/browser/browser %U", "sys1/kde/sub/deep|Deep|deep",
              "home/baz|Baz|baz|Hidden=true\n", "sys1/baz|Baz|baz", "sys2/shadowed|Shadowed|shadowed", "sys2/bar|Bar|bar",
              "home/org.example.Editor|Editor|env A=1 /usr/bin/editor %F",
              "home/editor-window|New Editor Window|editor --new-window", "home/webapp-one|One|/opt/browserx --app=1",
              "home/webapp-two|Two|/opt/browserx --app=2", "home/suite-a|Suite|suite --a", "home/suite-b|Suite|suite --b",
              "home/tool-main|Tool|toolx", "home/tool-helper|Tool Helper|toolx --helper|NoDisplay=true\n",
              "home/script|Script|python3.11 /opt/s.py", "home/shell|Shell Thing|sh -c \"exec thing\"",
              "home/flat|Flat|/usr/bin/flatpak run org.flat.App",
              "home/wrapped|Real Tool|/opt/wrapper.sh|TryExec=/opt/bin/realtool\n",
              "home/quoted|Quoted|\"/opt/My Apps/quoted app\" %f"}) {
            const QStringList f = spec.split('|');
            t.write(f[0].section('/', 0, 0) + "/applications/" + f[0].section('/', 1) + ".desktop",
                    entry(f[1].toUtf8(), f[2].toUtf8(), f.value(3).toUtf8()));
        }
        t.write("sys1/applications/link.desktop", "[Desktop Entry]\nType=Link\nName=Link\nURL=https://x\n");
        t.write("sys1/applications/nameless.desktop", "[Desktop Entry]\nType=Application\nExec=nameless\n");
        t.write("home/applications/shadowed.desktop", QByteArray("\x7F" "ELF\0\0\0", 7));
        t.write("sys2/applications/notes.txt", entry("Not A Desktop File", "notes"));
        t.write("sys2/applications/huge.desktop", entry("Huge", "huge") + QByteArray(DesktopIndex::kMaxFileBytes, '#'));
        t.write("sys2/applications/latin1.desktop", entry("Caf\xE9", "latin1"));
        t.write("sys2/applications/other-group.desktop", "[Other]\nName=X\nExec=other-group\n");
        t.write("sys2/applications/bom.desktop", "\xEF\xBB\xBF[Desktop Entry]\nType=Application\nName=BOM\nExec=bom\n");
        t.write("sys2/applications/tolerant.desktop",
                "# comment\r\n[Other]\r\nName=Wrong\r\n[Desktop Entry]\r\nType=Application\r\n  Name =  Two\\sWords\\\\ \r\nName=Second\r\n"
                "Exec = \"/opt/we\\\\\\\\ird/a\\\"b\" %u\r\nbroken line\r\n[Desktop Action x]\r\nExec=no\r\n");
        t.write("elsewhere/real.desktop", entry("Linked", "linked"));
        t.symlink("sys2/applications/linked.desktop", t.filePath("elsewhere/real.desktop"));
        QCOMPARE(::mkfifo(QFile::encodeName(t.filePath("sys2/applications/fifo.desktop")).constData(), 0600), 0);
        QVERIFY(t.symlink("sys1/applications/loop", "."));
        QVERIFY(t.symlink("sys1/applications/kde/sub/up", ".."));
        m_paths = {t.filePath("home"), {t.filePath("sys1"), t.filePath("sys2"), t.filePath("missing")}, {}};
        m_index = DesktopIndex(m_paths);
    }

    void unitNames_data()
    {
        QTest::addColumn<QByteArray>("cgroup");
        QTest::addColumn<QStringList>("ids");
        const QByteArray uuid = "-4706fe54-7802-4808-aa7e-ae8b567239e0.scope";
        // A cgroup without ':' is a path below the user's app.slice.
        for (const auto &[tag, cgroup, ids] : std::initializer_list<std::tuple<const char *, QByteArray, const char *>>{
                 {"GNOME, escaped dash", "app-gnome-org.x.Ev\\x2dP-12345.scope", "gnome-org.x.Ev-P org.x.Ev-P"},
                 {"service with random instance", "app-org.kde.okular@0a1b2c.service", "org.kde.okular"},
                 {"KDE scope", "app-org.kde.konsole-3f2a.scope", "org.kde.konsole"},
                 {"flatpak", "app-flatpak-org.tg.desktop-4242.scope", "flatpak-org.tg.desktop org.tg.desktop"},
                 {"snap", "snap.my-snap.my-app" + uuid, "my-snap_my-app"},
                 {"snap hook", "snap.foo.hook.configure" + uuid, ""},
                 {"sub-group inside the unit", "app-org.kde.okular@0a1b2c.service/worker", "org.kde.okular"},
                 {"deepest unit decides: terminal tab", "app-org.gnome.Terminal.slice/vte-spawn" + uuid, ""},
                 {"deepest of nested app units", "app-outer@1.service/app-gnome-inner-9.scope", "gnome-inner inner"},
                 {"scope without random", "app-foo.scope", ""},
                 {"invalid UTF-8 escape", "app-gnome-bad\\xff-1.scope", ""},
                 {"escaped slash", "app-gnome-a\\x2fb-1.scope", ""},
                 {"session scope", "0::/user.slice/user-1000.slice/session-2.scope\n", ""},
                 {"system service", "0::/system.slice/cups.service\n", ""},
                 {"cgroup v1", "12:pids:/user.slice\n1:name=systemd:/app.slice/app-gnome-ff\\x2desr-9.scope\n",
                  "gnome-ff-esr ff-esr"},
                 {"unified root, v1 line holds the unit", "1:name=systemd:/app.slice/app-a.b@x.service\n0::/\n", "a.b"},
                 {"garbage", "\x01\x02 not a cgroup\n::::\n0:", ""}}) {
            QStringList desktopIds = QString(ids).split(' ', Qt::SkipEmptyParts);
            for (QString &id : desktopIds)
                id += ".desktop";
            QTest::newRow(tag) << (cgroup.contains(':') ? cgroup : kApps + cgroup + '\n') << desktopIds;
        }
    }
    void unitNames()
    {
        QFETCH(QByteArray, cgroup);
        QTEST(desktopIdsFromCgroup(std::string_view(cgroup.constData(), std::size_t(cgroup.size()))), "ids");
    }

    void execProgram_data()
    {
        QTest::addColumn<QString>("exec");
        QTest::addColumn<QString>("program");
        for (const auto &[exec, program] : {std::pair{"env GDK_BACKEND=x11 FOO=\"a b\" /opt/app --x", "/opt/app"},
                                            {"/usr/bin/env -u HOME -i LANG=C app", "app"},
                                            {"QT_SCALE=2 viewer %f", "viewer"},
                                            {"\"/opt/a\\\"b\\\\c\\$d\" --flag", "/opt/a\"b\\c$d"},
                                            {"\"/opt/x y", "/opt/x y"}, // unterminated quote
                                            {"env A=1", ""},
                                            {"%U", ""}})
            QTest::newRow(exec) << QString(exec) << QString(program);
    }
    void execProgram()
    {
        QFETCH(QString, exec);
        QTEST(pelmora::execProgram(exec), "program");
    }

    // "exe:" looks a program's file name up, anything else a desktop id.
    void index_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("name");
        QTest::newRow("data home wins") << "foo.desktop" << "Home Foo";
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
        QTest::newRow("no desktop entry group") << "other-group.desktop" << "<none>";
        QTest::newRow("byte order mark") << "bom.desktop" << "BOM";
        QTest::newRow("tolerant layout") << "tolerant.desktop" << "Two Words\\";
        QTest::newRow("tolerant layout's program") << "exe:a\"b" << "Two Words\\";
        QTest::newRow("FIFO") << "fifo.desktop" << "<none>";
        QTest::newRow("loop to itself") << "loop-foo.desktop" << "<none>";
        QTest::newRow("loop to parent") << "kde-sub-up-okular.desktop" << "<none>";
        QTest::newRow("ambiguous, id names it") << "exe:editor" << "Editor";
        QTest::newRow("ambiguous, different names") << "exe:browserx" << "<none>";
        QTest::newRow("shared, one name") << "exe:suite" << "Suite";
        QTest::newRow("shown entry preferred") << "exe:toolx" << "Tool";
        QTest::newRow("TryExec") << "exe:realtool" << "Real Tool";
        QTest::newRow("Exec beside TryExec") << "exe:wrapper.sh" << "Real Tool";
        QTest::newRow("quoted path") << "exe:quoted app" << "Quoted";
        QTest::newRow("hidden entry") << "exe:baz" << "<none>";
        QTest::newRow("versioned interpreter") << "exe:python3.11" << "<none>";
        QTest::newRow("shell") << "exe:sh" << "<none>";
        QTest::newRow("launcher") << "exe:flatpak" << "<none>";
    }
    void index()
    {
        QFETCH(QString, key);
        QTEST(nameOf(key.startsWith("exe:") ? m_index.findByProgram(key.mid(4)) : m_index.findByDesktopId(key)), "name");
    }

    void applicationName_data()
    {
        QTest::addColumn<QString>("facts"); // "unit below app.slice|exe|argv0"
        QTest::addColumn<QString>("name");
        for (const auto &[tag, facts, name] : std::initializer_list<std::tuple<const char *, const char *, const char *>>{
                 {"unit before program", "app-gnome-org.gnome.Evince-12345.scope|/usr/bin/okular|okular", "Document Viewer"},
                 {"unit without entry: program", "app-gnome-unknown-7.scope|/usr/bin/okular|", "Okular"},
                 {"terminal tab: program", "vte-spawn-7f6e5d4c-1111-2222.scope|/usr/bin/editor|", "Editor"},
                 {"argv0 when exe unreadable", "||/usr/local/bin/editor", "Editor"},
                 {"rewritten command line", "||/opt/browser/browser --type=renderer", "Browser"},
                 {"interpreter never matches", "|/usr/bin/python3.11|python3", "<none>"},
                 {"nothing known", "||", "<none>"}})
            QTest::newRow(tag) << QString(facts) << QString(name);
    }
    void applicationName()
    {
        QFETCH(QString, facts);
        const QStringList f = facts.split('|');
        const QByteArray cgroup = f[0].isEmpty() ? QByteArray() : kApps + f[0].toUtf8() + '\n';
        const ProcessFacts processFacts{4242, f[1].toStdString(), f[2].toStdString(), cgroup.toStdString()};
        QTEST(AppRegistry(m_paths).applicationName(processFacts).value_or("<none>"), "name");
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
    }
    void localizedName()
    {
        QFETCH(QString, locale);
        FixtureTree tree;
        tree.write("data/applications/app.desktop",
                   entry("Plain", "app", "Name[de]=Deutsch\nName[de_AT]=Österreich\nName[de_CH]=\nName[sr]=Српски\n"
                                         "Name[sr@latin]=Srpski\n"));
        const RegistryPaths paths{tree.filePath("data"), {}, RegistryPaths::localeLookupOrder(locale)};
        QTEST(nameOf(DesktopIndex(paths).findByDesktopId("app.desktop")), "name");
    }

    void reindex_data()
    {
        QTest::addColumn<QString>("change"); // a file to write, or "-" and one to remove
        QTest::addColumn<bool>("changed");
        QTest::newRow("nothing") << "" << false;
        QTest::newRow("file added in a subfolder") << "home/applications/sub/b.desktop" << true;
        QTest::newRow("file removed") << "-home/applications/sub/a.desktop" << true;
        QTest::newRow("applications folder created") << "sys1/applications/c.desktop" << true;
        QTest::newRow("data dir created") << "sys2/applications/d.desktop" << true;
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
        AppRegistry registry(paths);
        if (change.startsWith('-'))
            QVERIFY(tree.remove(change.mid(1)));
        else if (!change.isEmpty())
            tree.write(change, entry("B", "b"));
        QCOMPARE(registry.index().changedSinceBuild(), changed);
        registry.refreshIfChanged();
        QCOMPARE(registry.generation(), quint64(changed));
        const ProcessFacts newcomer{7, "/usr/bin/b", "b", ""};
        QCOMPARE(registry.applicationName(newcomer).has_value(), changed && !change.startsWith('-'));
        ageFolders(tree.path());
        QVERIFY(!DesktopIndex(paths).changedSinceBuild());
    }

    // Folders modified within the clock's grain of the build may hide a later change.
    void changeAroundBuildIsLookedAtAgain()
    {
        FixtureTree tree;
        tree.write("home/applications/a.desktop", entry("A", "a"));
        const DesktopIndex index(RegistryPaths{tree.filePath("home"), {}, {}});
        QTRY_VERIFY_WITH_TIMEOUT(index.changedSinceBuild(), 5000);
    }
};

QTEST_GUILESS_MAIN(TestAppRegistry)
#include "tst_appregistry.moc"
