// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The real pelmora binary under Xvfb. In xfce4-panel (holding only the tray,
// or in Debian's stock layout) and in trayer (XEmbed) its icon shows our
// drawing of the live title, a click opens the popover below it, which closes
// like a menu, and the right-click menu's Quit ends the program. Screenshots
// land in the build tree.
#include "app/tray/TrayIconRenderer.h"

#include "testsupport/DesktopSession.h"
#include "testsupport/FixtureTree.h"

#include <QPainter>
#include <QtTest>

#include <functional>
#include <limits>

using pelmora::DesktopSession;
using pelmora::TrayIconRenderer;

namespace {

const QString shotDir = QStringLiteral(PELMORA_BINARY_DIR "/tests/screenshots");

// The smallest mean per-channel difference (0-255) between a 22 px patch of
// `area` and our drawing of `title` over the area's corner colour: drawn at 22
// px, or larger and scaled down (xfce4-panel takes the largest pixmap and scales it).
double iconDifference(const QImage &screen, const QRect &area, const QString &title)
{
    double best = std::numeric_limits<double>::max();
    for (int size : TrayIconRenderer::sizes()) {
        QImage expected(22, 22, QImage::Format_RGB32);
        expected.fill(screen.pixel(area.topLeft()));
        QPainter(&expected).drawImage(0, 0,
                                      TrayIconRenderer::render(title, size, TrayIconRenderer::Face::title)
                                          .scaled(22, 22, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        for (int y = area.top(); y + 22 <= area.bottom() + 1; ++y)
            for (int x = area.left(); x + 22 <= area.right() + 1; ++x) {
                double sum = 0;
                for (int j = 0; j < 22; ++j)
                    for (int i = 0; i < 22; ++i) {
                        const QRgb a = screen.pixel(x + i, y + j), b = expected.pixel(i, j);
                        sum += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b))
                            + std::abs(qBlue(a) - qBlue(b));
                    }
                best = std::min(best, sum / (3.0 * 22 * 22));
            }
    }
    return best;
}

} // namespace

class TestPelmoraInPanel : public QObject {
    Q_OBJECT

    FixtureTree dataDir;
    std::unique_ptr<DesktopSession> desktop;
    QProcess *pelmora = nullptr;

    // pelmora, with a desktop entry for a running helper so that its title goes live.
    bool startPelmora()
    {
        pelmora = nullptr;
        if (desktop->startProgram(PELMORA_BINARY_DIR "/tests/helpers/pelmora_testapp", {"--busy"}))
            pelmora = desktop->startProgram("/usr/bin/env", {"XDG_DATA_DIRS=" + dataDir.path(), PELMORA_BINARY});
        return pelmora;
    }

    // Saves a screenshot once `area` shows more than one colour and looks the
    // same in two shots in a row: painted, and not midway.
    bool screenshotOncePainted(const QString &path, const QRect &area) const
    {
        const auto oneColour = [](const QImage &image) {
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (image.pixel(x, y) != image.pixel(0, 0))
                        return false;
            return true;
        };
        QImage last;
        return QTest::qWaitFor(
            [&] {
                const QImage screen = desktop->grab();
                const QImage now = screen.copy(area);
                const bool painted = !now.isNull() && now == last && !oneColour(now);
                last = now;
                return painted && screen.save(path);
            },
            5000);
    }

    // pelmora's visible window that is 440 wide (its tray icon is a window too).
    QRect popover() const { return desktop->visibleWindowOfWidth(pelmora->processId(), 440).second; }

    // The title pelmora's StatusNotifierItem carries (published on the bus even
    // when it docks through XEmbed). A plain call: QDBusInterface would
    // introspect (and Qt caches that for good).
    QString label() const
    {
        return desktop
            ->busProperty(QStringLiteral("org.kde.StatusNotifierItem-%1-1").arg(pelmora->processId()),
                          "/StatusNotifierItem", "org.kde.StatusNotifierItem", "XAyatanaLabel", 2000)
            .toString();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(QFile::exists(dataDir.write("applications/org.pelmora.TestApp.desktop",
                                            desktopEntry("Pelmora Test App", "pelmora_testapp"))));
    }

    // On a failure, says whether pelmora still ran and what it printed; then stops the desktop.
    void cleanup()
    {
        if (QTest::currentTestFailed() && pelmora)
            qWarning("pelmora: %s, exit code %d, standard error:\n%s",
                     pelmora->state() == QProcess::Running ? "running" : "not running", pelmora->exitCode(),
                     pelmora->readAllStandardError().constData());
        pelmora = nullptr;
        desktop.reset();
    }

    void inTrayHost_data()
    {
        QTest::addColumn<DesktopSession::Tray>("tray");
        QTest::addColumn<bool>("trayOnly");
        QTest::newRow("xfce-tray-only") << DesktopSession::Tray::xfcePanel << true;
        QTest::newRow("xfce-stock") << DesktopSession::Tray::xfcePanel << false;
        QTest::newRow("trayer") << DesktopSession::Tray::trayer << true;
    }
    void inTrayHost()
    {
        QFETCH(DesktopSession::Tray, tray);
        QFETCH(bool, trayOnly);
        desktop = std::make_unique<DesktopSession>(DesktopSession::Options{.tray = tray, .trayOnlyPanel = trayOnly});
        START_DESKTOP_OR_SKIP(*desktop);
        const QRect emptyTray = desktop->trayGeometry();
        QVERIFY(startPelmora());
        // A placeholder title first; the second refresh, five seconds in, makes the first real one.
        QTRY_COMPARE_WITH_TIMEOUT(label(), "--/--", 10000);
        // xfce4-panel's tray grows by the registered item; trayer embeds a small window of pelmora's.
        QRect icon;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                if (tray == DesktopSession::Tray::xfcePanel)
                    return !desktop->registeredStatusNotifierItems().isEmpty()
                        && (icon = desktop->trayGeometry()).width() > emptyTray.width();
                for (quint64 id : desktop->visibleWindowsOf(pelmora->processId()))
                    if (const QRect rect = desktop->windowGeometry(id); emptyTray.contains(rect))
                        return (icon = rect).isValid();
                return false;
            }(),
            10000);
        QTRY_VERIFY_WITH_TIMEOUT(QRegularExpression("^\\d+/\\d+$").match(label()).hasMatch(), 15000);

        // The icon shows the title it had before and after the screenshot, and not other figures.
        const QString shot = shotDir + "/pelmora-" + QTest::currentDataTag() + ".png";
        double own = 0, other = 0;
        // Waited for once: QTRY_* would take a new screenshot after the
        // matching one, and the title may have moved on by then.
        const bool drawn = QTest::qWaitFor(
            [&] {
                const QString title = label();
                if (!desktop->screenshot(shot) || label() != title)
                    return false;
                const QImage screen(shot);
                own = iconDifference(screen, icon, title);
                other = iconDifference(screen, icon, title == "88/88" ? "11/11" : "88/88");
                return own < 6 && other > own + 20;
            },
            10000);
        QVERIFY2(
            drawn,
            qPrintable(QStringLiteral("icon differs by %1, other figures by %2 in %3").arg(own).arg(other).arg(shot)));

        QVERIFY(desktop->click(icon.center()));
        QRect shown;
        QTRY_VERIFY_WITH_TIMEOUT((shown = popover()).isValid(), 5000);
        QCOMPARE(shown.size(), QSize(440, 520));
        QVERIFY2(shown.top() >= icon.bottom() && shown.top() <= icon.bottom() + 20
                     && (shown.left() <= icon.center().x() + 1 || shown.right() >= 1279),
                 qPrintable(QStringLiteral("popover at %1,%2, icon %3,%4 to %5")
                                .arg(shown.x())
                                .arg(shown.y())
                                .arg(icon.left())
                                .arg(icon.top())
                                .arg(icon.bottom())));
        QVERIFY(screenshotOncePainted(QString(shot).replace(".png", "-popover.png"), shown));

        // Each way of closing closes it for good, and never ends the program.
        const QList<std::pair<const char *, std::function<bool()>>> closers{
            {"a second click", [&] { return desktop->click(icon.center()); }},
            {"Escape",
             [&] {
                 return desktop->runCommand("xdotool", {"key", "Escape"});
             }},
            {"a click elsewhere", [&] { return desktop->click(QPoint(100, 700)); }}};
        for (const auto &[how, close] : closers) {
            if (!popover().isValid())
                QVERIFY(desktop->click(icon.center()));
            QTRY_VERIFY_WITH_TIMEOUT(popover().isValid(), 5000);
            QVERIFY2(close(), how);
            QTRY_VERIFY2_WITH_TIMEOUT(!popover().isValid(), how, 5000);
            // Polled for a while: a click that also reaches the item would open it again.
            QVERIFY2(
                !QTest::qWaitFor([&] { return popover().isValid() || pelmora->state() != QProcess::Running; }, 700),
                how);
        }

        // A right click opens a new two-item menu; "Quit", the lower one, ends pelmora.
        QList<quint64> known;
        for (const auto &window : desktop->topLevelWindows())
            known << window.first;
        QVERIFY(desktop->click(icon.center(), 3));
        QRect menu;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                for (const auto &[id, rect] : desktop->topLevelWindows())
                    if (!known.contains(id) && rect.width() > 20 && rect.height() > 20)
                        return (menu = rect).isValid();
                return false;
            }(),
            5000);
        QVERIFY(screenshotOncePainted(QString(shot).replace(".png", "-menu.png"), menu));
        QVERIFY(desktop->click(QPoint(menu.center().x(), menu.top() + menu.height() * 3 / 4)));
        QVERIFY(pelmora->waitForFinished(5000));
        QCOMPARE(pelmora->exitStatus(), QProcess::NormalExit);
        QCOMPARE(pelmora->exitCode(), 0);
    }
};

QTEST_MAIN(TestPelmoraInPanel)
#include "tst_pelmorapanel.moc"
