// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The tray host matrix, run by hand through tests/hosts/run. For each host
// under Xvfb on a private session bus: N starts of pelmora (is the item listed
// and drawn within 5 s, and still there 3 s later?), N host restarts (are the
// item and its menu back?), one activation (does the panel open, drawn and
// by the item and inside the free area?), where keys typed into the open
// panel go, what the quit service makes of an editor holding unsaved text and
// of a terminal, a 4x picture of the item with the height of its figures
// measured on the screen, and how the host draws a 3:1 icon. Prints Markdown
// tables.
#include "AspectProbe.h"
#include "RowChecks.h"
#include "WaylandRows.h"

#include "testsupport/DesktopSession.h"
#include "testsupport/ProcessTree.h"

#include <QApplication>
#include <QtDBus>
#include <QtGui>

#include <cstdio>

using pelmora::DesktopSession;
using Tray = DesktopSession::Tray;
using namespace hostrows;

namespace {

const QRect screenRect(0, 0, 1280, 800);
const QString pelmoraName = QStringLiteral("org.pelmora.Pelmora");

// Ink rows of the figures on the badge whose fill spans `fill` in `shot`: their
// heights, top to bottom. Figures may touch the badge's edge and cut the fill
// there, so the rows just outside the fill count too; the edge itself, ink
// from side to side, does not.
QList<int> figureHeights(const QImage &shot, const QRect &fill)
{
    const QRect badge = fill.adjusted(1, -3, -1, 3).intersected(shot.rect());
    QList<int> heights;
    int run = 0;
    for (int y = badge.top(); y <= badge.bottom() + 1; ++y) {
        int ink = 0;
        for (int x = badge.left(); y <= badge.bottom() && x <= badge.right(); ++x)
            ink += qGray(shot.pixel(x, y)) < 135;
        if (ink > 0 && ink < badge.width() * 4 / 5) {
            ++run;
        } else if (run > 0) {
            heights.append(run);
            run = 0;
        }
    }
    return heights;
}

struct Row {
    QString host;
    QString note;
    int starts = 0, startsOk = 0;
    int restarts = 0, restartsOk = 0, menusOk = 0;
    int fallbackWindows = 0;
    int drops = 0; // StatusNotifierItemUnregistered for a running pelmora's item
    QString activation = QStringLiteral("–");
    QString keys = QStringLiteral("–");
    QString quit = QStringLiteral("–");
    QString figures = QStringLiteral("–");
    QString wideIcon = QStringLiteral("–");
    QString picture = QStringLiteral("–");
};

struct Variant {
    QString name; // the host's name, or with a suffix for a size variant: "xfce4-panel-24px"
    Tray tray;
    int iconSize = 0;
    int scale = 1;
};

class Matrix : public QObject, protected QDBusContext {
    Q_OBJECT
public:
    Matrix(Variant variant, QString pelmora, QString pictures)
        : m_variant(std::move(variant)), m_pelmora(std::move(pelmora)), m_pictures(std::move(pictures))
    {
    }

    Row run(int runs, bool pictureOnly)
    {
        Row row;
        row.host = m_variant.name;
        // Without a tray, openbox manages pelmora's window.
        m_desktop = std::make_unique<DesktopSession>(DesktopSession::Options{
            .tray = m_variant.tray,
            .windowManager = m_variant.tray == Tray::none ? DesktopSession::WindowManager::openbox
                                                          : DesktopSession::WindowManager::none,
            .iconSize = m_variant.iconSize,
            .scale = m_variant.scale});
        if (const auto started = m_desktop->start(); started != DesktopSession::Start::ready) {
            row.note = m_desktop->errorString().left(160);
            return row;
        }
        if (m_variant.tray == Tray::none) {
            runWithoutTray(row);
            return row;
        }
        // An application besides pelmora: without any, the title waits for the first one.
        m_desktop->startProgram("xterm", {"-geometry", "40x8+300+400", "-e", "cat"});
        if (pictureOnly) {
            QProcess *pelmora = startPelmora();
            picture(pelmora, row);
            stopPelmora(pelmora);
            m_desktop.reset();
            return row;
        }
        // Drops the watcher announces (our own stops are not counted).
        int drops = 0;
        m_dropCounter = &drops;
        bus().connect("org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher", "org.kde.StatusNotifierWatcher",
                      "StatusNotifierItemUnregistered", this, SLOT(onUnregistered(QString)));
        for (int i = 0; i < runs; ++i) {
            QProcess *pelmora = startPelmora();
            m_running = pelmora;
            ++row.starts;
            const bool listed = pelmora && waitFor([&] { return itemShown(pelmora); }, 5000);
            wait(3000); // past the moment a watcher may drop a fresh item
            if (listed && itemShown(pelmora))
                ++row.startsOk;
            if (pelmora && fallbackWindow(pelmora))
                ++row.fallbackWindows;
            m_running = nullptr;
            stopPelmora(pelmora);
            std::fprintf(stderr, "%s: start %d/%d: %s\n", qPrintable(row.host), i + 1, runs,
                         listed ? "item" : "NO ITEM");
        }

        QProcess *pelmora = startPelmora();
        m_running = pelmora;
        waitFor([&] { return itemShown(pelmora); }, 10000);
        activate(pelmora, row);
        row.keys = keys(pelmora);
        for (int i = 0; i < runs; ++i) {
            ++row.restarts;
            if (m_desktop->restartTray() != DesktopSession::Start::ready) {
                std::fprintf(stderr, "%s: restart %d: host not ready: %s\n", qPrintable(row.host), i + 1,
                             qPrintable(m_desktop->errorString()));
                continue;
            }
            const bool back = waitFor([&] { return itemShown(pelmora); }, 10000);
            const bool menu = back && menuWorks(pelmora);
            row.restartsOk += back;
            row.menusOk += menu;
            if (fallbackWindow(pelmora))
                ++row.fallbackWindows;
            std::fprintf(stderr, "%s: restart %d/%d: item %s, menu %s\n", qPrintable(row.host), i + 1, runs,
                         back ? "back" : "MISSING", menu ? "works" : "MISSING");
        }
        picture(pelmora, row);
        row.drops = drops;
        m_dropCounter = nullptr;
        m_running = nullptr;
        stopPelmora(pelmora);
        row.wideIcon = wideIcon();
        row.quit = quit();
        m_desktop.reset();
        return row;
    }

private Q_SLOTS:
    // Only the watcher that runs now (a panel that is ending may announce its
    // items' end), and only about the running pelmora: by its unique name, as
    // long as it has one, or by the name it registered with.
    void onUnregistered(const QString &item)
    {
        if (!m_dropCounter || !m_running || m_running->state() != QProcess::Running
            || message().service() != bus().interface()->serviceOwner("org.kde.StatusNotifierWatcher").value())
            return;
        const QString owner = bus().interface()->serviceOwner(pelmoraName);
        const QString name = item.section(u'/', 0, 0).section(u'@', 0, 0);
        if ((!owner.isEmpty() && name == owner)
            || name.startsWith(QStringLiteral("org.kde.StatusNotifierItem-%1-").arg(m_running->processId())))
            ++*m_dropCounter;
    }

private:
    // One connection per desktop: a name keeps its connection, also to a bus that is gone.
    QDBusConnection bus() const
    {
        return QDBusConnection::connectToBus(m_desktop->busAddress(), "host-matrix-" + m_desktop->busAddress());
    }

    QProcess *startPelmora() { return m_desktop->startProgram(m_pelmora); }

    void stopPelmora(QProcess *pelmora)
    {
        if (!pelmora)
            return;
        pelmora->terminate(); // our own child, by its PID
        if (!pelmora->waitForFinished(5000))
            pelmora::ProcessTree::stop(pelmora->processId());
        // The bus name goes with it, and the host takes the item away; wait so
        // that the next start is a first start with an item of its own.
        waitFor([&] { return !bus().interface()->isServiceRegistered(pelmoraName).value(); }, 5000);
        waitFor([&] { return icons().isEmpty(); }, 5000);
    }

    // The watcher's entry for pelmora.
    QString entry(QProcess *pelmora) const
    {
        const QString owner = bus().interface()->serviceOwner(pelmoraName);
        const QString named = QStringLiteral("org.kde.StatusNotifierItem-%1-").arg(pelmora->processId());
        for (const QString &item : m_desktop->registeredStatusNotifierItems())
            if ((!owner.isEmpty() && (item.startsWith(owner + '/') || item.startsWith(owner + '@')))
                || item.startsWith(named))
                return item;
        return {};
    }

    // Listed by the watcher (StatusNotifierItem hosts) or embedded in the tray
    // (XEmbed), and drawn on the screen.
    bool itemShown(QProcess *pelmora) const
    {
        if (pelmora->state() != QProcess::Running)
            return false;
        if (m_desktop->hostsStatusNotifierItems())
            return !entry(pelmora).isEmpty() && icon().isValid();
        const QRect tray = m_desktop->trayGeometry();
        for (quint64 id : m_desktop->visibleWindowsOf(pelmora->processId()))
            if (tray.contains(m_desktop->windowGeometry(id)))
                return icon().isValid();
        return false;
    }

    // Where the host draws the item: the one square patch of our badge's fill
    // in a panel strip; invalid unless there is exactly one (a host may still
    // show the item of a pelmora that has just ended).
    QRect icon(const QImage &shot = {}) const
    {
        const QList<QRect> found = icons(shot);
        return found.size() == 1 ? found.constFirst() : QRect();
    }

    // Every such patch. The panel may be as light as the badge, but the
    // badge's edge parts the two; GNOME's extension dims icons a little.
    // Other icons may have a patch of that light colour too (Plasma's text
    // editor launcher): ours holds two rows of figures, or GNOME's glyph.
    QList<QRect> icons(const QImage &given = {}) const
    {
        const QImage shot = given.isNull() ? m_desktop->grab() : given;
        const bool glyph = m_variant.tray == Tray::gnomeShell;
        QList<QRgb> fills{qRgb(246, 246, 244)};
        if (glyph)
            fills << qRgb(234, 234, 232);
        QList<QRect> found;
        for (const QRect strip : {QRect(0, 0, 1280, 100), QRect(0, 700, 1280, 100)})
            for (const QRect &box : m_desktop->findSquares(strip, fills, 12, 50 * m_variant.scale, shot))
                if (glyph || figureHeights(shot, box).size() == 2)
                    found << box;
        return found;
    }

    std::optional<quint64> popover(QProcess *pelmora) const
    {
        for (quint64 id : m_desktop->visibleWindowsOf(pelmora->processId()))
            if (m_desktop->windowGeometry(id).width() == 440 * m_variant.scale)
                return id;
        return std::nullopt;
    }

    bool fallbackWindow(QProcess *pelmora) const { return popover(pelmora).has_value(); }

    // The menu as a host reads it: the item's Menu property, then its layout.
    bool menuWorks(QProcess *pelmora) const
    {
        if (!m_desktop->hostsStatusNotifierItems())
            return itemShown(pelmora); // XEmbed: the menu is ours, shown by Qt
        QString service = entry(pelmora);
        QString path = QStringLiteral("/StatusNotifierItem");
        if (const int slash = service.indexOf('/'); slash > 0) {
            path = service.mid(slash);
            service = service.left(slash);
        }
        service.remove(QLatin1Char('@')); // GNOME's extension writes "<name>@<path>"
        QDBusMessage get = QDBusMessage::createMethodCall(service, path, "org.freedesktop.DBus.Properties", "Get");
        get << QStringLiteral("org.kde.StatusNotifierItem") << QStringLiteral("Menu");
        const QDBusMessage menu = bus().call(get, QDBus::Block, 3000);
        if (menu.arguments().isEmpty())
            return false;
        const QString menuPath =
            menu.arguments().constFirst().value<QDBusVariant>().variant().value<QDBusObjectPath>().path();
        QDBusMessage layout = QDBusMessage::createMethodCall(service, menuPath, "com.canonical.dbusmenu", "GetLayout");
        layout << 0 << -1 << QStringList{"label"};
        const QDBusMessage reply = bus().call(layout, QDBus::Block, 3000);
        return reply.type() == QDBusMessage::ReplyMessage && reply.arguments().size() == 2;
    }

    void activate(QProcess *pelmora, Row &row)
    {
        row.activation = openAndClose(pelmora);
        if (m_variant.tray != Tray::gnomeShell)
            return;
        // The Activities overview hides every window: pelmora leaves it first.
        setOverview(true);
        if (!waitFor([&] { return overviewActive(); }, 5000)) {
            row.activation += QStringLiteral("; the overview did not open");
            return;
        }
        wait(1000); // its opening animation
        const QString fromOverview = openAndClose(pelmora);
        row.activation += QStringLiteral("; from the overview: ") + fromOverview
            + (overviewActive() ? QStringLiteral(", overview STILL OPEN") : QStringLiteral(", overview left"));
    }

    // A click on the item; GNOME's extension activates on a double click (a single one opens the menu).
    void activateItem(const QRect &item)
    {
        if (m_variant.tray == Tray::gnomeShell) {
            m_desktop->runCommand(
                "xdotool", {"mousemove", QString::number(item.center().x()), QString::number(item.center().y())});
            wait(200);
            m_desktop->runCommand("xdotool", {"click", "--repeat", "2", "--delay", "80", "1"});
        } else {
            m_desktop->click(item.center());
        }
    }

    // Activates the item, checks the panel, and closes it with a click elsewhere.
    QString openAndClose(QProcess *pelmora)
    {
        const QRect item = icon();
        if (!item.isValid())
            return QStringLiteral("item not found on screen");
        activateItem(item);
        std::optional<quint64> shown;
        if (!waitFor([&] { return (shown = popover(pelmora)).has_value(); }, 5000))
            return QStringLiteral("no panel");
        const QRect geometry = m_desktop->windowGeometry(*shown);
        const bool drawn = waitFor([&] { return m_desktop->isOnScreen(*shown); }, 3000);
        m_desktop->click(QPoint(100, 650));
        const bool closed = waitFor([&] { return !popover(pelmora).has_value(); }, 3000);
        if (!closed) { // the same click on the item again closes it
            m_desktop->click(item.center());
            waitFor([&] { return !popover(pelmora).has_value(); }, 3000);
        }
        return placement(geometry, item, m_desktop->freeArea()) + (drawn ? "" : ", NOT DRAWN")
            + (closed ? "" : ", a click elsewhere did NOT close it");
    }

    Seat seat() const
    {
        return {[this] { return m_desktop->grab(); },
                [this](const QString &text) {
                    return m_desktop->runCommand("xdotool", {"type", "--delay", "30", text});
                },
                [this](const QStringList &names) {
                    return m_desktop->runCommand("xdotool", QStringList{"key", "--delay", "100"} + names);
                }};
    }

    // The window the user was typing into (pelmora_keylog), moved clear of
    // the bars and the item, clicked and typed into.
    KeyRecorder startRecorder()
    {
        KeyRecorder recorder;
        recorder.file = m_scratch.filePath(m_variant.name + "-typed");
        recorder.process = m_desktop->startProgram(keyLogProgram, {recorder.file});
        quint64 window = 0;
        const auto found = [&] {
            return (window = m_desktop->visibleWindowOfWidth(recorder.process->processId(), 700).first) != 0;
        };
        if (!recorder.process || !waitFor(found, 10000))
            return recorder;
        m_desktop->runCommand("xdotool", {"windowmove", QString::number(window), "300", "150"});
        recorder.shown = waitFor(
            [&] { return m_desktop->windowGeometry(window).top() >= 100 && m_desktop->isOnScreen(window); }, 5000);
        recorder.takeKey(seat(), recorder.shown && m_desktop->click(m_desktop->windowGeometry(window).center()));
        return recorder;
    }

    void stopRecorder(const KeyRecorder &recorder)
    {
        if (!recorder.process)
            return;
        recorder.process->terminate(); // our own child, by its PID
        recorder.process->waitForFinished(3000);
    }

    // Opens the panel from the item with another window holding the keyboard, and types into it.
    QString keys(QProcess *pelmora)
    {
        const KeyRecorder recorder = startRecorder();
        const QRect item = icon();
        QString result = QStringLiteral("item not found on screen");
        std::optional<quint64> shown;
        if (item.isValid()) {
            activateItem(item);
            result = QStringLiteral("no panel");
        }
        if (item.isValid() && waitFor([&] { return (shown = popover(pelmora)).has_value(); }, 5000)
            && waitFor([&] { return m_desktop->isOnScreen(*shown); }, 3000))
            result = typeIntoPanel(
                seat(), m_desktop->windowGeometry(*shown), [&] { return popover(pelmora).has_value(); }, recorder);
        if (popover(pelmora)) { // not closed by Escape: by the item, so that the next steps start as before
            m_desktop->click(item.center());
            waitFor([&] { return !popover(pelmora).has_value(); }, 3000);
        }
        stopRecorder(recorder);
        // The pointer leaves the item, as the click elsewhere did: no tooltip over the item in its picture.
        m_desktop->runCommand("xdotool", {"mousemove", "100", "650"});
        return result;
    }

    // "Quit …" as the panel runs it (pelmora_askquit) on Mousepad holding
    // unsaved text and on an xterm: what the quit service answered, and what
    // came of it. What stays open is stopped with the session.
    QString quit()
    {
        QStringList results;
        for (const QString program : {"mousepad", "xterm"}) {
            QProcess *app = QStandardPaths::findExecutable(program).isEmpty()
                ? nullptr
                : m_desktop->startProgram(program, program == u"xterm" ? QStringList{"-e", "cat"} : QStringList());
            if (!app) {
                results << program + ": not installed";
                continue;
            }
            const qint64 pid = app->processId();
            const auto windows = [&] { return int(m_desktop->visibleWindowsOf(pid).size()); };
            const auto ask = [&](qint64 target) {
                return m_desktop->startProgram(askQuitProgram, {QString::number(target)});
            };
            // Its window, once settled (Mousepad may map one and replace it).
            quint64 window = 0;
            if (!waitFor(
                    [&] {
                        const QList<quint64> ids = m_desktop->visibleWindowsOf(pid);
                        window = ids.size() == 1 ? ids.constFirst() : 0;
                        return window != 0 && m_desktop->isOnScreen(window);
                    },
                    15000)) {
                results << (app->state() == QProcess::Running ? program + ": NO WINDOW"
                                                              : quitResult(program, app, ask, nullptr));
                continue;
            }
            QString label = program;
            if (program == u"mousepad") {
                // windowactivate asks the window manager; without one, the X server gives the focus.
                const QString id = QString::number(window);
                if (!m_desktop->runCommand("xdotool", {"windowactivate", "--sync", id}))
                    m_desktop->runCommand("xdotool", {"windowfocus", "--sync", id});
                seat().type("words nobody saved");
                // Mousepad marks a modified document with '*' in its title.
                const bool marked = waitFor(
                    [&] {
                        return m_desktop->runTool("xdotool", {"getwindowname", id}).value_or("").startsWith('*');
                    },
                    10000);
                label += marked ? " (unsaved text)" : " (text typed, title NOT marked)";
            }
            results << quitResult(label, app, ask, windows);
        }
        return results.join("; ");
    }

    bool overviewActive() const
    {
        QDBusMessage get = QDBusMessage::createMethodCall("org.gnome.Shell", "/org/gnome/Shell",
                                                          "org.freedesktop.DBus.Properties", "Get");
        get << QStringLiteral("org.gnome.Shell") << QStringLiteral("OverviewActive");
        const QDBusMessage reply = bus().call(get, QDBus::Block, 3000);
        return !reply.arguments().isEmpty() && reply.arguments().constFirst().value<QDBusVariant>().variant().toBool();
    }

    void setOverview(bool active) const
    {
        QDBusMessage set = QDBusMessage::createMethodCall("org.gnome.Shell", "/org/gnome/Shell",
                                                          "org.freedesktop.DBus.Properties", "Set");
        set << QStringLiteral("org.gnome.Shell") << QStringLiteral("OverviewActive")
            << QVariant::fromValue(QDBusVariant(active));
        bus().call(set, QDBus::Block, 3000);
    }

    void picture(QProcess *pelmora, Row &row)
    {
        waitFor([&] { return itemShown(pelmora); }, 15000);
        // A real title (the second sample), not the placeholder.
        wait(7000);
        // Blurred by a host's scaling, wide figures ("100") may cut the
        // badge's fill in pieces that are not found; the next title may not.
        QImage shot;
        QRect item;
        waitFor([&] { return (item = icon(shot = m_desktop->grab())).isValid(); }, 12000);
        if (item.isValid()) {
            QStringList heights;
            for (int height : figureHeights(shot, item))
                heights << QString::number(height);
            row.figures = m_variant.tray == Tray::gnomeShell ? QStringLiteral("label") : heights.join(" + ") + " px";
        } else if (m_variant.tray == Tray::xfcePanel && (item = m_desktop->trayGeometry()).isValid()) {
            // Its tray holds only our item: the picture still shows how it looks.
            row.figures = QStringLiteral("not told apart from the badge's edge");
        } else {
            row.picture = QStringLiteral("item not found on screen");
            return;
        }
        // The item, with room for a label beside it, at 4x.
        const int side = std::max(item.height(), 22 * m_variant.scale);
        const QRect around = item.adjusted(-side / 2, -side / 3,
                                           m_variant.tray == Tray::gnomeShell ? 5 * side : side / 2, side / 3)
                                 .intersected(screenRect);
        const QString path = m_pictures + "/" + row.host + ".png";
        shot.copy(around).scaled(around.size() * 4, Qt::IgnoreAspectRatio, Qt::FastTransformation).save(path);
        row.picture = path;
    }

    // How the host draws an icon three times as wide as high: the size of our
    // probe's marker on the screen, or for XEmbed the size of the slot the
    // tray gives the item (the icon is painted into it).
    QString wideIcon()
    {
        if (!m_desktop->hostsStatusNotifierItems()) {
            QProcess *pelmora = startPelmora();
            QRect slot;
            waitFor(
                [&] {
                    for (quint64 id : pelmora ? m_desktop->visibleWindowsOf(pelmora->processId()) : QList<quint64>{})
                        if (const QRect r = m_desktop->windowGeometry(id); m_desktop->trayGeometry().contains(r))
                            slot = r;
                    return slot.isValid();
                },
                10000);
            stopPelmora(pelmora);
            return slot.isValid() ? QStringLiteral("slot %1×%2").arg(slot.width()).arg(slot.height())
                                  : QStringLiteral("no slot");
        }
        AspectProbe probe(bus());
        if (!probe.publish())
            return QStringLiteral("probe not published");
        QRect marker;
        waitFor(
            [&] {
                const QList<QRect> patches = m_desktop->findPatches(QRect(0, 0, 1280, 800), AspectProbe::marker, 60);
                marker = patches.isEmpty() ? QRect() : patches.constFirst();
                return marker.isValid();
            },
            15000);
        return marker.isValid() ? QStringLiteral("%1×%2").arg(marker.width()).arg(marker.height())
                                : QStringLiteral("not shown");
    }

    void runWithoutTray(Row &row)
    {
        // Here "starts" counts a window after the grace period, and closing it ends pelmora.
        // The user was typing into another window when pelmora's came up.
        const KeyRecorder recorder = startRecorder();
        QProcess *pelmora = startPelmora();
        ++row.starts;
        std::optional<quint64> window;
        if (pelmora && waitFor([&] { return (window = popover(pelmora)).has_value(); }, 15000))
            ++row.startsOk;
        const bool drawn = window && waitFor([&] { return m_desktop->isOnScreen(*window); }, 3000);
        const QRect geometry = window ? m_desktop->windowGeometry(*window) : QRect();
        const QRect free = m_desktop->freeArea();
        row.activation = window ? QStringLiteral("window %1 at %2, %3 the free area %4")
                                      .arg(drawn ? "shown" : "NOT DRAWN", text(geometry),
                                           free.contains(geometry) ? "inside" : "OUTSIDE", text(free))
                                : QStringLiteral("window MISSING");
        if (drawn)
            row.keys = typeIntoPanel(
                seat(), geometry, [&] { return popover(pelmora).has_value(); }, recorder, false);
        stopRecorder(recorder);
        row.quit = quit();
        if (window)
            m_desktop->runCommand("wmctrl", {"-ic", QStringLiteral("0x%1").arg(*window, 0, 16)});
        row.note = pelmora->waitForFinished(5000) && pelmora->exitCode() == 0
            ? QStringLiteral("closing the window ends pelmora (exit 0)")
            : QStringLiteral("closing the window did NOT end pelmora");
        m_desktop.reset();
    }

    Variant m_variant;
    QString m_pelmora;
    QString m_pictures;
    std::unique_ptr<DesktopSession> m_desktop;
    int *m_dropCounter = nullptr;
    QProcess *m_running = nullptr;
    QTemporaryDir m_scratch; // what the key recorders got
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv); // the Wayland rows lay out a panel offscreen
    QCommandLineParser parser;
    parser.addOptions(
        {{"runs", "Starts and host restarts per host.", "n", "20"},
         {"hosts",
          "Comma-separated: xfce4-panel,lxqt-panel,plasmashell,gnome-shell,trayer,none (X11), "
          "sway-waybar,kwin-wayland,gnome-wayland,weston (Wayland).",
          "list",
          "xfce4-panel,lxqt-panel,plasmashell,gnome-shell,trayer,none,sway-waybar,kwin-wayland,gnome-wayland,weston"},
         {"sizes", "Also pictures of the item in xfce4-panel and lxqt-panel at 24 px and at twice the scale."},
         {"pelmora", "The program to try.", "path"},
         {"pictures", "Where the 4x pictures of the item go.", "dir"}});
    parser.addHelpOption();
    parser.process(app);
    const QMap<QString, Tray> trays{{"xfce4-panel", Tray::xfcePanel}, {"lxqt-panel", Tray::lxqtPanel},
                                    {"plasmashell", Tray::plasma},    {"gnome-shell", Tray::gnomeShell},
                                    {"trayer", Tray::trayer},         {"none", Tray::none}};
    const int runs = parser.value("runs").toInt();
    QDir().mkpath(parser.value("pictures"));
    QElapsedTimer clock;
    clock.start();
    const QStringList waylandHosts{"sway-waybar", "kwin-wayland", "gnome-wayland", "weston"};
    QList<Row> rows;
    QList<WaylandRow> waylandRows;
    for (const QString &name : parser.value("hosts").split(',', Qt::SkipEmptyParts)) {
        if (waylandHosts.contains(name)) {
            waylandRows << runWaylandRow(name, parser.value("pelmora"), parser.value("pictures"));
        } else if (trays.contains(name)) {
            Matrix matrix({name, trays.value(name)}, parser.value("pelmora"), parser.value("pictures"));
            rows << matrix.run(runs, false);
        } else {
            std::fprintf(stderr, "unknown host %s\n", qPrintable(name));
            return 2;
        }
        std::fprintf(stderr, "%s done after %lld s\n", qPrintable(name), clock.elapsed() / 1000);
    }
    if (!rows.isEmpty()) {
        std::printf("| host | item within 5 s of a start (and 3 s later) | host restarts: item back / menu back | "
                    "fallback windows left | drops announced by the watcher | activation: panel, distance from the "
                    "item, free area | keys typed into the opened panel | Quit: answer, outcome | figures on screen | "
                    "a 3:1 icon drawn as | picture | note |\n"
                    "|---|---|---|---|---|---|---|---|---|---|---|---|\n");
        for (const Row &row : rows)
            std::printf("| %s | %d/%d | %d/%d / %d/%d | %d | %d | %s | %s | %s | %s | %s | %s | %s |\n",
                        qPrintable(row.host), row.startsOk, row.starts, row.restartsOk, row.restarts, row.menusOk,
                        row.restarts, row.fallbackWindows, row.drops, qPrintable(row.activation), qPrintable(row.keys),
                        qPrintable(row.quit), qPrintable(row.figures), qPrintable(row.wideIcon),
                        qPrintable(QFileInfo(row.picture).fileName()), qPrintable(row.note));
    }
    if (!waylandRows.isEmpty()) {
        std::printf("\n| Wayland session | item | panel: where, distance from the item, free area | keys typed into "
                    "the opened panel | Quit: answer, outcome | picture | note |\n"
                    "|---|---|---|---|---|---|---|\n");
        for (const WaylandRow &row : waylandRows)
            std::printf("| %s | %s | %s | %s | %s | %s | %s |\n", qPrintable(row.host), qPrintable(row.item),
                        qPrintable(row.panel), qPrintable(row.keys), qPrintable(row.quit),
                        qPrintable(QFileInfo(row.picture).fileName()), qPrintable(row.note));
    }
    if (parser.isSet("sizes")) {
        QList<Row> sized;
        for (const Variant &variant :
             {Variant{"xfce4-panel-24px", Tray::xfcePanel, 24, 1}, Variant{"xfce4-panel-2x", Tray::xfcePanel, 22, 2},
              Variant{"lxqt-panel-24px", Tray::lxqtPanel, 24, 1}, Variant{"lxqt-panel-2x", Tray::lxqtPanel, 22, 2}}) {
            Matrix matrix(variant, parser.value("pelmora"), parser.value("pictures"));
            sized << matrix.run(0, true);
        }
        std::printf("\n| host, icon size | figures on screen | picture | note |\n|---|---|---|---|\n");
        for (const Row &row : sized)
            std::printf("| %s | %s | %s | %s |\n", qPrintable(row.host), qPrintable(row.figures),
                        qPrintable(QFileInfo(row.picture).fileName()), qPrintable(row.note));
    }
    std::printf("\n%lld s in all\n", clock.elapsed() / 1000);
    return 0;
}

#include "hostmatrix.moc"
