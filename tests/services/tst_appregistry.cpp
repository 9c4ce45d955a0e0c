#include "services/registry/AppRegistry.h"
#include "testsupport/FixtureTree.h"
#include "testsupport/FolderTimes.h"

#include <QTest>

using namespace pelmora;

namespace {

QByteArray entry(const QByteArray &name, const QByteArray &exec)
{
    return "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=" + exec + "\n";
}

constexpr const char *kAppSlice = "0::/user.slice/user-1000.slice/user@1000.service/app.slice/";

} // namespace

class TestAppRegistry : public QObject {
    Q_OBJECT

    FixtureTree m_tree;

    RegistryPaths paths() const { return {m_tree.filePath("home"), {m_tree.filePath("sys")}, {}}; }

private slots:
    void initTestCase()
    {
        m_tree.write("sys/applications/org.gnome.Evince.desktop", entry("Document Viewer", "evince %U"));
        m_tree.write("sys/applications/org.kde.okular.desktop", entry("Okular", "okular %U"));
        m_tree.write("sys/applications/editor.desktop", entry("Editor", "/usr/bin/editor"));
        m_tree.write("sys/applications/browser.desktop", entry("Browser", "/opt/browser/browser %U"));
        m_tree.write("sys/applications/script.desktop", entry("Script", "python3 /opt/script.py"));
    }

    void applicationName_data()
    {
        QTest::addColumn<QString>("cgroup");
        QTest::addColumn<QString>("exe");
        QTest::addColumn<QString>("argv0");
        QTest::addColumn<QString>("name");
        const QString slice = kAppSlice;
        QTest::newRow("unit before program")
            << slice + "app-gnome-org.gnome.Evince-12345.scope\n" << "/usr/bin/okular" << "okular" << "Document Viewer";
        QTest::newRow("unit with launcher-less id")
            << slice + "app-org.kde.okular@0a1b2c.service\n" << "/usr/bin/helper" << "helper" << "Okular";
        QTest::newRow("unit without entry: program")
            << slice + "app-gnome-unknown-7.scope\n" << "/usr/bin/okular" << "" << "Okular";
        QTest::newRow("terminal tab: program")
            << slice + "vte-spawn-7f6e5d4c-1111-2222-3333-444455556666.scope\n" << "/usr/bin/editor" << "editor"
            << "Editor";
        QTest::newRow("argv0 when exe unreadable") << "" << "" << "/usr/local/bin/editor" << "Editor";
        QTest::newRow("rewritten command line") << "" << "" << "/opt/browser/browser --type=renderer" << "Browser";
        QTest::newRow("interpreter never matches") << "" << "/usr/bin/python3.11" << "python3" << "<none>";
        QTest::newRow("tool outside any app")
            << "0::/user.slice/user-1000.slice/session-2.scope\n" << "/usr/bin/bash" << "-bash" << "<none>";
        QTest::newRow("nothing known") << "" << "" << "" << "<none>";
    }
    void applicationName()
    {
        QFETCH(QString, cgroup);
        QFETCH(QString, exe);
        QFETCH(QString, argv0);
        QFETCH(QString, name);
        const AppRegistry registry(paths());
        const ProcessFacts facts{4242, exe.toStdString(), argv0.toStdString(), cgroup.toStdString()};
        QCOMPARE(registry.applicationName(facts).value_or("<none>"), name);
    }

    void reindexesOnlyWhenChanged()
    {
        FixtureTree tree;
        tree.write("data/applications/a.desktop", entry("A", "aprog"));
        ageFolders(tree.path());
        AppRegistry registry(RegistryPaths{tree.filePath("data"), {}, {}});
        const ProcessFacts newcomer{7, "/usr/bin/bprog", "bprog", ""};

        registry.refreshIfChanged();
        QCOMPARE(registry.generation(), quint64(0));
        QVERIFY(!registry.applicationName(newcomer));

        tree.write("data/applications/sub/b.desktop", entry("B", "bprog"));
        registry.refreshIfChanged();
        QCOMPARE(registry.generation(), quint64(1));
        QCOMPARE(registry.applicationName(newcomer).value_or("<none>"), "B");
    }
};

QTEST_GUILESS_MAIN(TestAppRegistry)
#include "tst_appregistry.moc"
