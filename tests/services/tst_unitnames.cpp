#include "services/registry/UnitName.h"

#include <QTest>

using namespace pelmora;

class TestUnitNames : public QObject {
    Q_OBJECT
private slots:
    void fromCgroup_data()
    {
        QTest::addColumn<QByteArray>("cgroup");
        QTest::addColumn<QStringList>("ids");
        const QByteArray user = "0::/user.slice/user-1000.slice/user@1000.service/app.slice/";

        QTest::newRow("GNOME scope, escaped dash")
            << user + "app-gnome-org.gnome.Evince\\x2dPreviewer-12345.scope\n"
            << QStringList{"gnome-org.gnome.Evince-Previewer.desktop", "org.gnome.Evince-Previewer.desktop"};
        QTest::newRow("GNOME scope, escaped id only")
            << user + "app-gnome-gnome\\x2dsystem\\x2dmonitor-77.scope\n"
            << QStringList{"gnome-gnome-system-monitor.desktop", "gnome-system-monitor.desktop"};
        QTest::newRow("KDE service with random instance")
            << user + "app-org.kde.okular@0a1b2c.service\n" << QStringList{"org.kde.okular.desktop"};
        QTest::newRow("autostart service")
            << user + "app-org.gnome.Evolution\\x2dalarm\\x2dnotify@autostart.service\n"
            << QStringList{"org.gnome.Evolution-alarm-notify.desktop"};
        QTest::newRow("KDE scope") << user + "app-org.kde.konsole-3f2a.scope\n" << QStringList{"org.kde.konsole.desktop"};
        QTest::newRow("flatpak")
            << user + "app-flatpak-org.telegram.desktop-4242.scope\n"
            << QStringList{"flatpak-org.telegram.desktop.desktop", "org.telegram.desktop.desktop"};
        QTest::newRow("snap scope")
            << user + "snap.hello-world.sh-4706fe54-7802-4808-aa7e-ae8b567239e0.scope\n"
            << QStringList{"hello-world_sh.desktop"};
        QTest::newRow("snap app with dash")
            << user + "snap.my-snap.my-app-4706fe54-7802-4808-aa7e-ae8b567239e0.scope\n"
            << QStringList{"my-snap_my-app.desktop"};
        QTest::newRow("snap hook") << user + "snap.foo.hook.configure-4706fe54-7802-4808-aa7e-ae8b567239e0.scope\n"
                                   << QStringList{};
        QTest::newRow("sub-group inside the app's unit")
            << user + "app-org.kde.okular@0a1b2c.service/worker\n" << QStringList{"org.kde.okular.desktop"};
        QTest::newRow("deepest unit decides: terminal tab")
            << user + "app-org.gnome.Terminal.slice/vte-spawn-7f6e5d4c-1111-2222-3333-444455556666.scope\n"
            << QStringList{};
        QTest::newRow("deepest of nested app units")
            << user + "app-outer@1.service/app-gnome-inner-9.scope\n" << QStringList{"gnome-inner.desktop", "inner.desktop"};
        QTest::newRow("session scope") << QByteArray("0::/user.slice/user-1000.slice/session-2.scope\n") << QStringList{};
        QTest::newRow("user manager") << QByteArray("0::/user.slice/user-1000.slice/user@1000.service/init.scope\n")
                                      << QStringList{};
        QTest::newRow("system service") << QByteArray("0::/system.slice/cups.service\n") << QStringList{};
        QTest::newRow("scope without random") << user + "app-foo.scope\n" << QStringList{};
        QTest::newRow("root cgroup") << QByteArray("0::/\n") << QStringList{};
        QTest::newRow("cgroup v1 name=systemd")
            << QByteArray("12:pids:/user.slice\n1:name=systemd:/user.slice/user-1000.slice/user@1000.service/"
                          "app.slice/app-gnome-firefox\\x2desr-991.scope\n")
            << QStringList{"gnome-firefox-esr.desktop", "firefox-esr.desktop"};
        QTest::newRow("unified root, v1 line holds the unit")
            << QByteArray("1:name=systemd:/app.slice/app-org.kde.okular@x.service\n0::/\n")
            << QStringList{"org.kde.okular.desktop"};
        QTest::newRow("invalid UTF-8 escape") << user + "app-gnome-bad\\xff-1.scope\n" << QStringList{};
        QTest::newRow("escaped slash") << user + "app-gnome-a\\x2fb-1.scope\n" << QStringList{};
        QTest::newRow("garbage") << QByteArray("\x01\x02 not a cgroup\n::::\n0:") << QStringList{};
        QTest::newRow("empty") << QByteArray() << QStringList{};
    }
    void fromCgroup()
    {
        QFETCH(QByteArray, cgroup);
        QFETCH(QStringList, ids);
        QCOMPARE(desktopIdsFromCgroup(std::string_view(cgroup.constData(), std::size_t(cgroup.size()))), ids);
    }
};

QTEST_GUILESS_MAIN(TestUnitNames)
#include "tst_unitnames.moc"
