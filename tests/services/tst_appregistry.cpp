// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Which application owns a process: systemd unit names from the control
// group, desktop files and their index, and the registry that asks both.
#include "services/registry/AppRegistry.h"
#include "services/registry/DesktopEntry.h"
#include "services/registry/UnitName.h"
#include "testsupport/FixtureTree.h"
#include "testsupport/FolderTimes.h"

#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace pelmora;
using namespace Qt::StringLiterals;

namespace {

QString nameOf(const IndexedApp *app)
{
    return app ? app->name : QStringLiteral("<none>");
}

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
        for (const QString file :
             {"home/foo|Home Foo|foo",
              "sys1/foo|System Foo|foo",
              "sys1/kde/okular|Okular|okular %U",
              "sys1/org.kde.okular|Okular|okular %U",
              "sys1/org.gnome.Evince|Document Viewer|evince %U",
              "sys1/browser|Browser|/opt/browser/browser %U",
              "sys1/kde/sub/deep|Deep|deep",
              "home/baz|Baz|baz|Hidden=true\n",
              "sys1/baz|Baz|baz",
              "sys2/shadowed|Shadowed|shadowed",
              "sys2/bar|Bar|bar",
              "home/org.example.Editor|Editor|env A=1 /usr/bin/editor %F",
              "home/editor-window|New Editor Window|editor --new-window",
              "home/webapp-one|One|/opt/browserx --app=1",
              "home/webapp-two|Two|/opt/browserx --app=2",
              "home/suite-a|Suite|suite --a",
              "home/suite-b|Suite|suite --b",
              "home/tool-main|Tool|toolx",
              "home/tool-helper|Tool Helper|toolx --helper|NoDisplay=true\n",
              "home/script|Script|python3.11 /opt/s.py",
              "home/shell|Shell Thing|sh -c \"exec thing\"",
              "home/flat|Flat|/usr/bin/flatpak run org.flat.App",
              "home/wrapped|Real Tool|/opt/wrapper.sh|TryExec=/opt/bin/realtool\nStartupWMClass=RealTool\n",
              "home/quoted|Quoted|\"/opt/My Apps/quoted app\" %f"}) {
            const QStringList f = file.split('|');
            t.write(f[0].section('/', 0, 0) + "/applications/" + f[0].section('/', 1) + ".desktop",
                    desktopEntry(f[1].toUtf8(), f[2].toUtf8(), f.value(3).toUtf8()));
        }
        t.write("sys1/applications/link.desktop", "[Desktop Entry]\nType=Link\nName=Link\nURL=https://x\n");
        t.write("sys1/applications/nameless.desktop", "[Desktop Entry]\nType=Application\nExec=nameless\n");
        t.write("home/applications/shadowed.desktop", QByteArray::fromHex("7f454c46000000")); // an ELF header
        t.write("sys2/applications/huge.desktop",
                desktopEntry("Huge", "huge") + QByteArray(DesktopIndex::kMaxFileBytes, '#'));
        t.write("sys2/applications/latin1.desktop", desktopEntry("Caf\xE9", "latin1"));
        t.write("sys2/applications/notes.txt", desktopEntry("Not A Desktop File", "notes"));
        t.write("elsewhere/real.desktop", desktopEntry("Linked", "linked"));
        t.symlink("sys2/applications/linked.desktop", t.filePath("elsewhere/real.desktop"));
        QCOMPARE(::mkfifo(QFile::encodeName(t.filePath("sys2/applications/fifo.desktop")).constData(), 0600), 0);
        QVERIFY(t.symlink("sys1/applications/loop", "."));
        QVERIFY(t.symlink("sys1/applications/kde/sub/up", ".."));
        // Linked folders: out of the data folders (first in name order, where
        // a walk through "/" would spend the folder budget), and into another
        // data folder's applications.
        QVERIFY(t.symlink("sys1/applications/0-root", "/"));
        t.write("elsewhere/apps/far.desktop", desktopEntry("Far", "far"));
        QVERIFY(t.symlink("sys1/applications/0-far", t.filePath("elsewhere/apps")));
        t.write("sys2/applications/sub2/near.desktop", desktopEntry("Near", "near"));
        QVERIFY(t.symlink("home/applications/linked2", t.filePath("sys2/applications/sub2")));
        m_paths = {t.filePath("home"), {t.filePath("sys1"), t.filePath("sys2"), t.filePath("missing")}, {}};
        m_index = DesktopIndex(m_paths);
    }

    // A cgroup without ':' is a path below the user's app.slice.
    void unitNames()
    {
        const QByteArray uuid = "-4706fe54-7802-4808-aa7e-ae8b567239e0.scope";
        for (const auto &[cgroup, ids] : std::initializer_list<std::pair<QByteArray, QString>>{
                 {"app-gnome-org.x.Ev\\x2dP-12345.scope", "gnome-org.x.Ev-P org.x.Ev-P"}, // escaped dash
                 {"app-org.kde.okular@0a1b2c.service", "org.kde.okular"}, // random instance
                 {"app-org.kde.konsole-3f2a.scope", "org.kde.konsole"},
                 {"app-flatpak-org.tg.desktop-4242.scope", "flatpak-org.tg.desktop org.tg.desktop"},
                 {"snap.my-snap.my-app" + uuid, "my-snap_my-app"},
                 {"snap.foo.hook.configure" + uuid, ""},
                 {"app-org.kde.okular@0a1b2c.service/worker", "org.kde.okular"}, // a sub-group inside the unit
                 {"app-org.gnome.Terminal.slice/vte-spawn" + uuid, ""}, // the deepest unit decides
                 {"app-outer@1.service/app-gnome-inner-9.scope", "gnome-inner inner"},
                 {"0::/user.slice/user-1000.slice/session-2.scope\n", ""},
                 {"12:pids:/user.slice\n1:name=systemd:/app.slice/app-gnome-ff\\x2desr-9.scope\n",
                  "gnome-ff-esr ff-esr"}}) {
            const QByteArray text = cgroup.contains(':') ? cgroup : kApps + cgroup + '\n';
            const QStringList got = desktopIdsFromCgroup({text.constData(), std::size_t(text.size())});
            QStringList want = ids.split(' ', Qt::SkipEmptyParts);
            for (QString &id : want)
                id += ".desktop";
            QVERIFY2(got == want, (cgroup + " -> " + got.join(' ').toUtf8()).constData());
        }
    }

    void execProgram()
    {
        for (const auto &[exec, program] : {std::pair{"env GDK_BACKEND=x11 FOO=\"a b\" /opt/app --x", "/opt/app"},
                                            {"/usr/bin/env -u HOME -i LANG=C app", "app"},
                                            {"QT_SCALE=2 viewer %f", "viewer"},
                                            {"\"/opt/a\\\"b\\\\c\\$d\" --flag", "/opt/a\"b\\c$d"},
                                            {"env A=1", ""}})
            QCOMPARE(pelmora::execProgram(exec), QString(program));
    }

    // "exe:" looks a program's file name up, anything else a desktop id.
    void index()
    {
        for (const auto &[key, name] : std::initializer_list<std::pair<QString, QString>>{
                 {"foo.desktop", "Home Foo"}, // the data home wins
                 {"kde-sub-deep.desktop", "Deep"}, // nested subfolders
                 {"okular.desktop", "<none>"}, // a subfolder id needs its prefix
                 {"bar.desktop", "Bar"}, // second data dir
                 {"baz.desktop", "<none>"}, // a hidden copy hides the system's
                 {"shadowed.desktop", "<none>"}, // so does a broken one
                 {"huge.desktop", "<none>"},
                 {"latin1.desktop", "<none>"}, // invalid UTF-8
                 {"link.desktop", "<none>"}, // not an application
                 {"nameless.desktop", "nameless"}, // no name: the id
                 {"linked.desktop", "Linked"}, // symlinked file
                 {"notes.txt", "<none>"}, // other extension
                 {"fifo.desktop", "<none>"},
                 {"loop-foo.desktop", "<none>"}, // link loop to itself
                 {"kde-sub-up-okular.desktop", "<none>"}, // link loop to the parent
                 {"0-far-far.desktop", "<none>"}, // linked folder outside the data folders
                 {"exe:far", "<none>"},
                 {"linked2-near.desktop", "Near"}, // linked folder inside them
                 {"sub2-near.desktop", "Near"},
                 {"exe:editor", "Editor"}, // ambiguous, but one id names the program
                 {"exe:browserx", "<none>"}, // ambiguous, different names
                 {"exe:suite", "Suite"}, // shared, one name
                 {"exe:toolx", "Tool"}, // the shown entry is preferred
                 {"exe:realtool", "Real Tool"}, // TryExec
                 {"exe:quoted app", "Quoted"},
                 {"exe:baz", "<none>"}, // hidden entry
                 {"exe:python3.11", "<none>"}, // interpreters, shells, launchers
                 {"exe:sh", "<none>"},
                 {"exe:flatpak", "<none>"}}) {
            const IndexedApp *app = key.startsWith("exe:") ? m_index.findByProgram(key.mid(4))
                                                           : m_index.findByDesktopId(key);
            const QString got = nameOf(app);
            QVERIFY2(got == name, qPrintable(key + " -> " + got));
        }
        // The window class its windows carry, kept beside the name.
        QCOMPARE(m_index.findByProgram("realtool")->startupWMClass, u"RealTool"_s);
        QCOMPARE(m_index.findByDesktopId("org.kde.okular.desktop")->startupWMClass, QString());
    }

    // The unit's desktop id first, then the program: exe, else argv[0].
    void applicationName()
    {
        const AppRegistry registry(m_paths);
        // unit below app.slice, exe, argv0, name
        for (const auto &[unit, exe, argv0, name] : std::initializer_list<std::array<const char *, 4>>{
                 {"app-gnome-org.gnome.Evince-12345.scope", "/usr/bin/okular", "okular", "Document Viewer"},
                 {"app-gnome-unknown-7.scope", "/usr/bin/okular", "", "Okular"}, // unit without entry
                 {"vte-spawn-7f6e5d4c-1111-2222.scope", "/usr/bin/editor", "", "Editor"}, // terminal tab
                 {"", "", "/usr/local/bin/editor", "Editor"}, // exe unreadable
                 {"", "", "/opt/browser/browser --type=renderer", "Browser"}, // rewritten command line
                 {"", "/usr/bin/python3.11", "python3", "<none>"}, // interpreters never match
                 {"", "", "", "<none>"}}) {
            const std::string cgroup = *unit ? (kApps + unit + '\n').toStdString() : std::string();
            const QString got = registry.applicationName({4242, exe, argv0, cgroup}).value_or("<none>");
            QVERIFY2(got == name, qPrintable((QStringList{unit, exe, argv0, got}).join(" | ")));
        }
    }

    // The user's own folder, searched first, filled beyond its budgets: the
    // system's folder is read all the same, and only the full folder is cut.
    void aFullFolderHidesNoOther_data()
    {
        QTest::addColumn<int>("entries");
        QTest::addColumn<int>("folders");
        QTest::newRow("50,000 entries") << 50000 << 0;
        QTest::newRow("1,100 folders") << 0 << 1100;
    }
    void aFullFolderHidesNoOther()
    {
        QFETCH(int, entries);
        QFETCH(int, folders);
        FixtureTree tree(FixtureTree::Place::memory);
        tree.write("sys/applications/real.desktop", desktopEntry("Real", "realapp"));
        QVERIFY(tree.makeDir("home/applications"));
        const QByteArray home = QFile::encodeName(tree.filePath("home/applications/"));
        for (int i = 0; i < entries; ++i) {
            const QByteArray name = "junk" + QByteArray::number(i).rightJustified(5, '0');
            const QByteArray text = desktopEntry(name, name);
            const int fd = ::open(home + name + ".desktop", O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            QVERIFY(fd >= 0 && ::write(fd, text.constData(), size_t(text.size())) == text.size() && ::close(fd) == 0);
        }
        for (int i = 0; i < folders; ++i)
            QCOMPARE(::mkdir(home + "d" + QByteArray::number(i), 0700), 0);
        const DesktopIndex index(RegistryPaths{tree.filePath("home"), {tree.filePath("sys")}, {}});
        QCOMPARE(nameOf(index.findByDesktopId("real.desktop")), "Real");
        QCOMPARE(nameOf(index.findByProgram("realapp")), "Real");
        QCOMPARE(index.size(), qMin<qsizetype>(entries, DesktopIndex::kMaxFilesPerTree) + 1);
        if (entries > 0) // the first ones in name order
            QCOMPARE(nameOf(index.findByDesktopId("junk00000.desktop")), "junk00000");
    }

    void localizedName()
    {
        FixtureTree tree;
        tree.write("data/applications/app.desktop",
                   desktopEntry("Plain", "app",
                                "Name[de]=Deutsch\nName[de_AT]=Österreich\nName[de_CH]=\nName[sr]=Српски\n"
                                "Name[sr@latin]=Srpski\n"));
        for (const auto &[locale, name] : {std::pair{"de_AT.UTF-8", "Österreich"},
                                           {"de_DE.UTF-8@euro", "Deutsch"}, // country with modifier falls to lang
                                           {"de_CH", "Deutsch"}, // an empty value is no name
                                           {"sr_RS@latin", "Srpski"}, // lang@modifier before lang
                                           {"sr_RS", "Српски"},
                                           {"fr_FR.UTF-8", "Plain"}}) {
            const RegistryPaths paths{tree.filePath("data"), {}, RegistryPaths::localeLookupOrder(locale)};
            QCOMPARE(locale + (": " + nameOf(DesktopIndex(paths).findByDesktopId("app.desktop"))),
                     locale + (": " + QString(name)));
        }
    }

    // Folders modified within the clock's grain of the build may hide a later
    // change, so they are looked at again. A file added in a subfolder is
    // seen, and indexed once asked.
    void reindex()
    {
        FixtureTree tree;
        tree.write("home/applications/sub/a.desktop", desktopEntry("A", "a"));
        const RegistryPaths paths{tree.filePath("home"), {}, {}};
        const DesktopIndex fresh(paths);
        QTRY_VERIFY_WITH_TIMEOUT(fresh.changedSinceBuild(), 5000);
        ageFolders(tree.path());
        AppRegistry registry(paths);
        QVERIFY(!registry.index().changedSinceBuild());
        tree.write("home/applications/sub/b.desktop", desktopEntry("B", "b"));
        QVERIFY(registry.index().changedSinceBuild());
        registry.refreshIfChanged();
        QCOMPARE(registry.generation(), quint64(1));
        QCOMPARE(registry.applicationName({7, "/usr/bin/b", "b", ""}).value_or(""), QStringLiteral("B"));
    }
};

QTEST_GUILESS_MAIN(TestAppRegistry)
#include "tst_appregistry.moc"
