// The tray item in real panels under Xvfb: xfce4-panel hosting our
// StatusNotifierItem (menu drawn by libdbusmenu), and trayer embedding the
// XEmbed fallback. Clicks go through xdotool; screenshots land in the build
// tree under tests/screenshots.
#include "app/tray/TrayIconRenderer.h"

#include "testsupport/DesktopSession.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QStandardPaths>
#include <QThread>
#include <QtTest>

#include <limits>

using pelmora::DesktopSession;

namespace {

const QString probePath = QStringLiteral(PELMORA_BINARY_DIR "/tests/helpers/tray_probe");
const QString shotDir = QStringLiteral(PELMORA_BINARY_DIR "/tests/screenshots");
const QString probeTitle = QStringLiteral("42/17");

// The next line of `probe` that starts with `prefix`, or an empty string.
QString waitForLine(QProcess *probe, const QString &prefix, int timeoutMs = 8000)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        while (probe->canReadLine()) {
            const QString line = QString::fromUtf8(probe->readLine()).trimmed();
            if (line.startsWith(prefix))
                return line;
        }
        if (probe->state() != QProcess::Running)
            return {};
        probe->waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
    }
    return {};
}

QPoint pointFrom(const QString &activatedLine)
{
    const QStringList parts = activatedLine.split(QLatin1Char(' '));
    return parts.size() == 3 ? QPoint(parts.at(1).toInt(), parts.at(2).toInt()) : QPoint(-1, -1);
}

// Best mean per-channel difference (0-255) between `icon`, laid over the
// colour found at the area's corner, and any same-sized patch of `area`.
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
                    const QRgb a = screen.pixel(x + i, y + j);
                    const QRgb b = expected.pixel(i, j);
                    sum += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
                }
            best = std::min(best, sum / (3.0 * icon.width() * icon.height()));
        }
    }
    return best;
}

// Our drawing of `title` as a host shows it at 22 px: the 22 px rendering, or a
// larger one scaled down (xfce4-panel takes the largest pixmap and scales it).
double bestIconMatch(const QImage &screen, const QRect &area, const QString &title)
{
    using pelmora::TrayIconRenderer;
    double best = std::numeric_limits<double>::max();
    for (int size : TrayIconRenderer::sizes()) {
        const QImage icon = TrayIconRenderer::render(title, size, TrayIconRenderer::Face::title)
                                .scaled(22, 22, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        best = std::min(best, bestMatch(screen, area, icon));
    }
    return best;
}

// The panel shows our drawing of the probe's title: it matches closely, and
// far better than a drawing of other figures would.
void verifyIconShown(const QString &screenshot, const QRect &area)
{
    const QImage screen(screenshot);
    QVERIFY2(!screen.isNull(), qPrintable(screenshot));
    const double own = bestIconMatch(screen, area, probeTitle);
    const double other = bestIconMatch(screen, area, QStringLiteral("88/88"));
    QVERIFY2(own < 6 && other > own + 20,
             qPrintable(QStringLiteral("icon differs by %1, other figures by %2 in %3").arg(own).arg(other).arg(screenshot)));
}

// Waits until a new top-level window (one not in `before`) is viewable, e.g. a menu.
QRect waitForNewWindow(const DesktopSession &desktop, const QList<QPair<quint64, QRect>> &before, int timeoutMs = 5000)
{
    QList<quint64> known;
    for (const auto &window : before)
        known.append(window.first);
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        for (const auto &window : desktop.topLevelWindows())
            if (!known.contains(window.first) && window.second.width() > 20 && window.second.height() > 20)
                return window.second;
        QThread::msleep(100);
    }
    return {};
}

} // namespace

class TestTrayPanel : public QObject {
    Q_OBJECT

    // Empty once the desktop runs; else why not, and whether that means a skip
    // (a program missing or unable to start here) rather than a failure.
    static QString startDesktop(DesktopSession &desktop, bool *skip)
    {
        *skip = true;
        for (const char *tool : {"xdotool", "xwininfo", "import"})
            if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
                return QStringLiteral("%1 is not installed").arg(QLatin1String(tool));
        const DesktopSession::Start result = desktop.start();
        *skip = result == DesktopSession::Start::unavailable;
        return result == DesktopSession::Start::ready ? QString() : desktop.errorString();
    }

    // Right-clicks `point`, expects a two-item menu, and chooses "Quit".
    void quitThroughTheMenu(DesktopSession &desktop, QProcess *probe, QPoint point, const QString &screenshot)
    {
        const auto before = desktop.topLevelWindows();
        QVERIFY(desktop.click(point, 3));
        const QRect menu = waitForNewWindow(desktop, before);
        QVERIFY2(menu.isValid(), "no menu appeared on a right click");
        QThread::msleep(300); // drawn, not just mapped
        QVERIFY(desktop.screenshot(screenshot));
        // "Open Pelmora" above, "Quit" below.
        QVERIFY(desktop.click(QPoint(menu.center().x(), menu.top() + menu.height() * 3 / 4)));
        QCOMPARE(waitForLine(probe, QStringLiteral("quit")), QStringLiteral("quit"));
        QVERIFY(probe->waitForFinished(5000));
        QCOMPARE(probe->exitCode(), 0);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(QFileInfo::exists(probePath), qPrintable(probePath + " is not built"));
    }

    // Once in a light panel holding only the tray, once in Debian's stock
    // layout: a dark panel crowded with other plugins.
    void statusNotifierItemInXfcePanel_data()
    {
        QTest::addColumn<bool>("trayOnly");
        QTest::addColumn<QString>("name");
        QTest::newRow("tray only") << true << QStringLiteral("traypanel-xfce");
        QTest::newRow("stock layout") << false << QStringLiteral("traypanel-xfce-stock");
    }

    void statusNotifierItemInXfcePanel()
    {
        QFETCH(bool, trayOnly);
        QFETCH(QString, name);
        DesktopSession desktop({.tray = DesktopSession::Tray::xfcePanel, .trayOnlyPanel = trayOnly});
        bool skip = false;
        if (const QString why = startDesktop(desktop, &skip); !why.isEmpty()) {
            if (skip)
                QSKIP(qPrintable(why));
            QFAIL(qPrintable(why));
        }
        const QRect emptyTray = desktop.trayGeometry();

        QProcess *probe = desktop.startProgram(probePath, {QStringLiteral("--title"), probeTitle});
        QVERIFY(probe);
        const QString service = waitForLine(probe, QStringLiteral("service ")).section(QLatin1Char(' '), 1);
        QVERIFY2(!service.isEmpty(), probe->readAllStandardError().constData());
        QCOMPARE(waitForLine(probe, QStringLiteral("mode ")), QStringLiteral("mode statusNotifier"));
        QTRY_VERIFY_WITH_TIMEOUT(
            desktop.registeredStatusNotifierItems().join(QLatin1Char(' ')).contains(service), 8000);

        // The tray grows by one icon once the panel has read the item.
        QRect tray;
        QTRY_VERIFY_WITH_TIMEOUT((tray = desktop.trayGeometry()).width() > emptyTray.width(), 8000);
        QThread::msleep(500);
        tray = desktop.trayGeometry();
        const QString shot = shotDir + QStringLiteral("/%1.png").arg(name);
        QVERIFY(desktop.screenshot(shot));
        verifyIconShown(shot, tray);
        if (QTest::currentTestFailed())
            return;

        // xfce4-panel calls Activate with the pointer's root position.
        const QPoint click = tray.center();
        QVERIFY(desktop.click(click));
        const QPoint anchor = pointFrom(waitForLine(probe, QStringLiteral("activated ")));
        QVERIFY2((anchor - click).manhattanLength() <= 2,
                 qPrintable(QStringLiteral("clicked %1,%2, got %3,%4").arg(click.x()).arg(click.y()).arg(anchor.x()).arg(anchor.y())));

        quitThroughTheMenu(desktop, probe, click, shotDir + QStringLiteral("/%1-menu.png").arg(name));
    }

    void xembedIconInTrayer()
    {
        DesktopSession desktop({.tray = DesktopSession::Tray::trayer});
        bool skip = false;
        if (const QString why = startDesktop(desktop, &skip); !why.isEmpty()) {
            if (skip)
                QSKIP(qPrintable(why));
            QFAIL(qPrintable(why));
        }
        const QRect tray = desktop.trayGeometry();

        QProcess *probe = desktop.startProgram(probePath, {QStringLiteral("--title"), probeTitle});
        QVERIFY(probe);
        QCOMPARE(waitForLine(probe, QStringLiteral("mode ")), QStringLiteral("mode xembed"));

        // The embedded icon is a window of the probe's inside trayer.
        QRect icon;
        QTRY_VERIFY_WITH_TIMEOUT([&] {
            for (quint64 id : desktop.visibleWindowsOf(probe->processId())) {
                const QRect rect = desktop.windowGeometry(id);
                if (tray.contains(rect)) {
                    icon = rect;
                    return true;
                }
            }
            return false;
        }(), 8000);
        QThread::msleep(500);
        const QString shot = shotDir + QStringLiteral("/traypanel-trayer.png");
        QVERIFY(desktop.screenshot(shot));
        verifyIconShown(shot, icon);
        if (QTest::currentTestFailed())
            return;

        // A left click reports the icon's centre.
        QVERIFY(desktop.click(icon.center()));
        const QPoint anchor = pointFrom(waitForLine(probe, QStringLiteral("activated ")));
        QVERIFY2((anchor - icon.center()).manhattanLength() <= 2,
                 qPrintable(QStringLiteral("icon at %1,%2, got %3,%4").arg(icon.center().x()).arg(icon.center().y())
                                .arg(anchor.x()).arg(anchor.y())));

        quitThroughTheMenu(desktop, probe, icon.center(), shotDir + QStringLiteral("/traypanel-trayer-menu.png"));
    }
};

QTEST_MAIN(TestTrayPanel)
#include "tst_traypanel.moc"
