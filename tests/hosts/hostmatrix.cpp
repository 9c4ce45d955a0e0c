// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The tray host matrix, run by hand through tests/hosts/run: for each host
// under Xvfb on a private session bus, N starts of pelmora (is the item listed
// within 5 s, and still listed 3 s later?), N host restarts (are the item and
// its menu back?), one activation (does the panel open inside the screen?),
// and a 4x picture of the item. Prints a Markdown table.
#include "testsupport/DesktopSession.h"
#include "testsupport/ProcessTree.h"

#include <QtDBus>
#include <QtGui>

#include <cstdio>

using pelmora::DesktopSession;
using Tray = DesktopSession::Tray;

namespace {

const QRect screenRect(0, 0, 1280, 800);
const QRgb badgeFill = qRgb(246, 246, 244);

void wait(int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

template<typename F>
bool waitFor(F condition, int ms)
{
    for (QDeadlineTimer deadline(ms); !deadline.hasExpired(); wait(100))
        if (condition())
            return true;
    return condition();
}

struct Row {
    QString host;
    QString note;
    int starts = 0, startsOk = 0;
    int restarts = 0, restartsOk = 0, menusOk = 0;
    int fallbackWindows = 0;
    int drops = 0; // StatusNotifierItemUnregistered for a running pelmora's item
    QString activation = QStringLiteral("–");
    QString picture = QStringLiteral("–");
};

class Matrix : public QObject {
    Q_OBJECT
public:
    Matrix(Tray tray, QString pelmora, QString pictures)
        : m_tray(tray), m_pelmora(std::move(pelmora)), m_pictures(std::move(pictures))
    {
    }

    Row run(int runs)
    {
        Row row;
        row.host = DesktopSession::trayName(m_tray);
        m_desktop = std::make_unique<DesktopSession>(DesktopSession::Options{.tray = m_tray});
        if (const auto started = m_desktop->start(); started != DesktopSession::Start::ready) {
            row.note = m_desktop->errorString().left(120);
            return row;
        }
        if (m_tray == Tray::none) {
            runWithoutTray(row);
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
            std::fprintf(stderr, "%s: start %d/%d: %s\n", qPrintable(row.host), i + 1, runs, listed ? "item" : "NO ITEM");
        }

        QProcess *pelmora = startPelmora();
        m_running = pelmora;
        waitFor([&] { return itemShown(pelmora); }, 10000);
        activate(pelmora, row);
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
        stopPelmora(pelmora);
        m_desktop.reset();
        return row;
    }

private Q_SLOTS:
    void onUnregistered(const QString &item)
    {
        if (m_dropCounter && m_running && m_running->state() == QProcess::Running
            && (item.startsWith(bus().interface()->serviceOwner("org.pelmora.Pelmora").value())
                || item.contains(QStringLiteral("-%1-").arg(m_running->processId()))))
            ++*m_dropCounter;
    }

private:
    // One connection per desktop: a name keeps its connection, also to a bus that is gone.
    QDBusConnection bus() const { return QDBusConnection::connectToBus(m_desktop->busAddress(), "host-matrix-" + m_desktop->busAddress()); }

    QProcess *startPelmora()
    {
        return m_desktop->startProgram(m_pelmora);
    }

    void stopPelmora(QProcess *pelmora)
    {
        if (!pelmora)
            return;
        pelmora->terminate(); // our own child, by its PID
        if (!pelmora->waitForFinished(5000))
            pelmora::ProcessTree::stop(pelmora->processId());
        // The bus name goes with it; wait so the next start is a first start.
        waitFor([&] { return !bus().interface()->isServiceRegistered("org.pelmora.Pelmora").value(); }, 5000);
    }

    // The watcher's entry for pelmora, or for XEmbed a window of its inside the tray.
    QString entry(QProcess *pelmora) const
    {
        const QString owner = bus().interface()->serviceOwner("org.pelmora.Pelmora");
        const QString named = QStringLiteral("org.kde.StatusNotifierItem-%1-").arg(pelmora->processId());
        for (const QString &item : m_desktop->registeredStatusNotifierItems())
            if ((!owner.isEmpty() && (item.startsWith(owner + '/') || item.startsWith(owner + '@'))) || item.startsWith(named))
                return item;
        return {};
    }

    bool itemShown(QProcess *pelmora) const
    {
        if (pelmora->state() != QProcess::Running)
            return false;
        if (m_desktop->hostsStatusNotifierItems())
            return !entry(pelmora).isEmpty();
        const QRect tray = m_desktop->trayGeometry();
        for (quint64 id : m_desktop->visibleWindowsOf(pelmora->processId()))
            if (tray.contains(m_desktop->windowGeometry(id)))
                return true;
        return false;
    }

    // Where the host draws the item: our badge's fill in the top or bottom strip.
    QRect icon() const
    {
        // GNOME's extension dims icons a little.
        for (const auto &[fill, tolerance] : {std::pair{badgeFill, 6}, std::pair{qRgb(234, 234, 232), 2}})
            for (const QRect strip : {QRect(0, 0, 1280, 60), QRect(0, 740, 1280, 60)}) {
                const QRect box = m_desktop->findColour(strip, fill, tolerance);
                if (box.width() >= 10 && box.height() >= 10 && box.height() <= 48 && box.width() <= 80)
                    return box;
            }
        return {};
    }

    QRect popover(QProcess *pelmora) const
    {
        for (quint64 id : m_desktop->visibleWindowsOf(pelmora->processId()))
            if (const QRect geometry = m_desktop->windowGeometry(id); geometry.width() == 440)
                return geometry;
        return {};
    }

    bool fallbackWindow(QProcess *pelmora) const { return popover(pelmora).isValid(); }

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
        const QString menuPath = menu.arguments().constFirst().value<QDBusVariant>().variant().value<QDBusObjectPath>().path();
        QDBusMessage layout = QDBusMessage::createMethodCall(service, menuPath, "com.canonical.dbusmenu", "GetLayout");
        layout << 0 << -1 << QStringList{"label"};
        const QDBusMessage reply = bus().call(layout, QDBus::Block, 3000);
        return reply.type() == QDBusMessage::ReplyMessage && reply.arguments().size() == 2;
    }

    void activate(QProcess *pelmora, Row &row)
    {
        const QRect item = icon();
        if (!item.isValid()) {
            row.activation = QStringLiteral("item not found on screen");
            return;
        }
        // GNOME's extension activates on a double click; a single one opens the menu.
        if (m_tray == Tray::gnomeShell) {
            m_desktop->runCommand("xdotool", {"mousemove", QString::number(item.center().x()), QString::number(item.center().y())});
            wait(200);
            m_desktop->runCommand("xdotool", {"click", "--repeat", "2", "--delay", "80", "1"});
        } else {
            m_desktop->click(item.center());
        }
        QRect shown;
        if (!waitFor([&] { return (shown = popover(pelmora)).isValid(); }, 5000)) {
            row.activation = QStringLiteral("no panel");
            return;
        }
        row.activation = screenRect.contains(shown) ? QStringLiteral("inside (%1,%2 %3×%4)")
                                                          .arg(shown.x()).arg(shown.y()).arg(shown.width()).arg(shown.height())
                                                    : QStringLiteral("OUTSIDE (%1,%2)").arg(shown.x()).arg(shown.y());
        m_desktop->runCommand("xdotool", {"key", "Escape"});
        waitFor([&] { return !popover(pelmora).isValid(); }, 3000);
    }

    void picture(QProcess *pelmora, Row &row)
    {
        waitFor([&] { return itemShown(pelmora); }, 10000);
        wait(6000); // a real title, not the placeholder
        const QRect item = icon();
        const QString shot = m_desktop->environment().value("HOME") + "/matrix.png";
        if (!item.isValid() || !m_desktop->screenshot(shot))
            return;
        const QRect around = item.adjusted(-48, -8, 48, 8).intersected(screenRect);
        const QString path = m_pictures + "/" + row.host + ".png";
        QImage(shot).copy(around).scaled(around.size() * 4, Qt::IgnoreAspectRatio, Qt::FastTransformation).save(path);
        row.picture = path;
    }

    void runWithoutTray(Row &row)
    {
        // Here "starts" counts a window after the grace period, and closing it ends pelmora.
        m_desktop->startProgram("openbox");
        QProcess *pelmora = startPelmora();
        ++row.starts;
        if (pelmora && waitFor([&] { return fallbackWindow(pelmora); }, 15000))
            ++row.startsOk;
        row.activation = QStringLiteral("window %1").arg(fallbackWindow(pelmora) ? "shown" : "MISSING");
        quint64 window = 0;
        for (quint64 id : m_desktop->visibleWindowsOf(pelmora->processId()))
            if (m_desktop->windowGeometry(id).width() == 440)
                window = id;
        m_desktop->runCommand("wmctrl", {"-ic", QStringLiteral("0x%1").arg(window, 0, 16)});
        row.note = pelmora->waitForFinished(5000) && pelmora->exitCode() == 0 ? QStringLiteral("closing the window ends pelmora (exit 0)")
                                                                               : QStringLiteral("closing the window did NOT end pelmora");
        m_desktop.reset();
    }

    Tray m_tray;
    QString m_pelmora;
    QString m_pictures;
    std::unique_ptr<DesktopSession> m_desktop;
    int *m_dropCounter = nullptr;
    QProcess *m_running = nullptr;
};

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOptions({{"runs", "Starts and host restarts per host.", "n", "20"},
                       {"hosts", "Comma-separated: xfce4-panel,lxqt-panel,plasmashell,gnome-shell,trayer,none.", "list",
                        "xfce4-panel,lxqt-panel,plasmashell,gnome-shell,trayer,none"},
                       {"pelmora", "The program to try.", "path"},
                       {"pictures", "Where the 4x pictures of the item go.", "dir"}});
    parser.addHelpOption();
    parser.process(app);
    const QMap<QString, Tray> trays{{"xfce4-panel", Tray::xfcePanel}, {"lxqt-panel", Tray::lxqtPanel},
                                    {"plasmashell", Tray::plasma},     {"gnome-shell", Tray::gnomeShell},
                                    {"trayer", Tray::trayer},          {"none", Tray::none}};
    const int runs = parser.value("runs").toInt();
    QDir().mkpath(parser.value("pictures"));
    QList<Row> rows;
    for (const QString &name : parser.value("hosts").split(',', Qt::SkipEmptyParts)) {
        if (!trays.contains(name)) {
            std::fprintf(stderr, "unknown host %s\n", qPrintable(name));
            return 2;
        }
        Matrix matrix(trays.value(name), parser.value("pelmora"), parser.value("pictures"));
        rows << matrix.run(runs);
    }
    std::printf("| host | item within 5 s of a start (and 3 s later) | host restarts: item back / menu back | fallback windows left | drops announced by the watcher | activation: panel | picture | note |\n"
                "|---|---|---|---|---|---|---|---|\n");
    for (const Row &row : rows)
        std::printf("| %s | %d/%d | %d/%d / %d/%d | %d | %d | %s | %s | %s |\n", qPrintable(row.host), row.startsOk, row.starts,
                    row.restartsOk, row.restarts, row.menusOk, row.restarts, row.fallbackWindows, row.drops, qPrintable(row.activation),
                    qPrintable(QFileInfo(row.picture).fileName()), qPrintable(row.note));
    return 0;
}

#include "hostmatrix.moc"
