// The tray item (tray_probe) in real tray hosts under Xvfb: xfce4-panel hosting
// the StatusNotifierItem, trayer embedding the XEmbed fallback. The icon must
// show our drawing, a left click report where it was, a right click offer a
// menu whose "Quit" works. Screenshots land in the build tree.
#include "app/tray/TrayIconRenderer.h"

#include "testsupport/DesktopSession.h"

#include <QDeadlineTimer>
#include <QPainter>
#include <QtTest>

#include <limits>

using pelmora::DesktopSession;

namespace {

const QString probeTitle = QStringLiteral("42/17");

// The next line of `probe` that starts with `prefix`, or an empty string.
QString waitForLine(QProcess *probe, const QString &prefix)
{
    for (const QDeadlineTimer deadline(8000); !deadline.hasExpired();) {
        while (probe->canReadLine())
            if (const QString line = QString::fromUtf8(probe->readLine()).trimmed(); line.startsWith(prefix))
                return line;
        if (probe->state() != QProcess::Running)
            return {};
        probe->waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
    }
    return {};
}

// Best mean per-channel difference (0-255) between `icon`, laid over the
// colour at the area's corner, and any same-sized patch of `area`.
double bestMatch(const QImage &screen, const QRect &area, const QImage &icon)
{
    QImage expected(icon.size(), QImage::Format_RGB32);
    expected.fill(screen.pixel(area.topLeft()));
    QPainter(&expected).drawImage(0, 0, icon);
    double best = std::numeric_limits<double>::max();
    for (int y = area.top(); y + icon.height() <= area.bottom() + 1; ++y) {
        for (int x = area.left(); x + icon.width() <= area.right() + 1; ++x) {
            double sum = 0;
            for (int j = 0; j < icon.height(); ++j)
                for (int i = 0; i < icon.width(); ++i) {
                    const QRgb a = screen.pixel(x + i, y + j), b = expected.pixel(i, j);
                    sum += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
                }
            best = std::min(best, sum / (3.0 * icon.width() * icon.height()));
        }
    }
    return best;
}

// Our drawing of `title` as a host shows it at 22 px: drawn at 22 px, or a
// larger one scaled down (xfce4-panel takes the largest pixmap and scales it).
double bestIconMatch(const QImage &screen, const QRect &area, const QString &title)
{
    using pelmora::TrayIconRenderer;
    double best = std::numeric_limits<double>::max();
    for (int size : TrayIconRenderer::sizes())
        best = std::min(best, bestMatch(screen, area,
                                        TrayIconRenderer::render(title, size, TrayIconRenderer::Face::title)
                                            .scaled(22, 22, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
    return best;
}

} // namespace

class TestTrayPanel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // xfce4-panel once holding only the tray, once in Debian's stock layout
    // (a dark panel crowded with other plugins); trayer has no StatusNotifier watcher.
    void iconClickAndMenu_data()
    {
        QTest::addColumn<DesktopSession::Tray>("tray");
        QTest::addColumn<bool>("trayOnly");
        QTest::addColumn<QString>("mode");
        QTest::newRow("xfce-tray-only") << DesktopSession::Tray::xfcePanel << true << "statusNotifier";
        QTest::newRow("xfce-stock") << DesktopSession::Tray::xfcePanel << false << "statusNotifier";
        QTest::newRow("trayer") << DesktopSession::Tray::trayer << true << "xembed";
    }
    void iconClickAndMenu()
    {
        QFETCH(DesktopSession::Tray, tray);
        QFETCH(bool, trayOnly);
        QFETCH(QString, mode);
        DesktopSession desktop({.tray = tray, .trayOnlyPanel = trayOnly});
        START_DESKTOP_OR_SKIP(desktop);
        const QRect emptyTray = desktop.trayGeometry();
        QProcess *probe = desktop.startProgram(PELMORA_BINARY_DIR "/tests/helpers/tray_probe", {"--title", probeTitle});
        QVERIFY(probe);
        const QString service = waitForLine(probe, "service ").section(' ', 1);
        QVERIFY2(!service.isEmpty(), probe->readAllStandardError().constData());
        QCOMPARE(waitForLine(probe, "mode "), "mode " + mode);

        // xfce4-panel's tray grows by the icon; trayer embeds a window of the probe's.
        QRect icon;
        const bool xfce = tray == DesktopSession::Tray::xfcePanel;
        const auto iconShown = [&] {
            if (xfce)
                return desktop.registeredStatusNotifierItems().join(' ').contains(service)
                    && (icon = desktop.trayGeometry()).width() > emptyTray.width();
            for (quint64 id : desktop.visibleWindowsOf(probe->processId()))
                if (const QRect rect = desktop.windowGeometry(id); emptyTray.contains(rect))
                    return (icon = rect).isValid();
            return false;
        };
        QTRY_VERIFY_WITH_TIMEOUT(iconShown(), 8000);
        QTest::qWait(500); // drawn, not just mapped
        QVERIFY(iconShown());
        const QString shot = QStringLiteral(PELMORA_BINARY_DIR "/tests/screenshots/traypanel-%1.png").arg(QTest::currentDataTag());
        QVERIFY(desktop.screenshot(shot));
        const QImage screen(shot);
        const double own = bestIconMatch(screen, icon, probeTitle), other = bestIconMatch(screen, icon, "88/88");
        QVERIFY2(own < 6 && other > own + 20,
                 qPrintable(QStringLiteral("icon differs by %1, other figures by %2 in %3").arg(own).arg(other).arg(shot)));

        // A left click reports the pointer's position (xfce4-panel) or the icon's centre.
        QVERIFY(desktop.click(icon.center()));
        const QStringList anchor = waitForLine(probe, "activated ").split(' ');
        QVERIFY2(anchor.size() == 3 && (QPoint(anchor[1].toInt(), anchor[2].toInt()) - icon.center()).manhattanLength() <= 2,
                 qPrintable(anchor.join(' ')));

        // A right click opens a two-item menu: "Open Pelmora" above, "Quit" below.
        QList<quint64> known;
        for (const auto &window : desktop.topLevelWindows())
            known << window.first;
        QVERIFY(desktop.click(icon.center(), 3));
        QRect menu;
        QTRY_VERIFY_WITH_TIMEOUT([&] {
            for (const auto &[id, rect] : desktop.topLevelWindows())
                if (!known.contains(id) && rect.width() > 20 && rect.height() > 20)
                    return (menu = rect).isValid();
            return false;
        }(), 5000);
        QTest::qWait(300);
        QVERIFY(desktop.screenshot(QString(shot).replace(".png", "-menu.png")));
        QVERIFY(desktop.click(QPoint(menu.center().x(), menu.top() + menu.height() * 3 / 4)));
        QCOMPARE(waitForLine(probe, "quit"), "quit");
        QVERIFY(probe->waitForFinished(5000));
        QCOMPARE(probe->exitCode(), 0);
    }
};

QTEST_MAIN(TestTrayPanel)
#include "tst_traypanel.moc"
