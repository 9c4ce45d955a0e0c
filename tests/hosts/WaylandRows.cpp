// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "WaylandRows.h"

#include "testsupport/ScreenPatches.h"
#include "testsupport/SignalCheck.h"
#include "testsupport/WaylandSession.h"
#include "views/PopoverFixture.h"
#include "views/PopoverView.h"

#include <QtDBus>
#include <QtWidgets>

#include <cstdio>

using pelmora::WaylandSession;
using Compositor = WaylandSession::Compositor;

namespace {

const QRect screenRect(QPoint(), WaylandSession::screenSize);
const QString askQuit = QStringLiteral(PELMORA_BINARY_DIR "/tests/helpers/pelmora_askquit");
const QRgb panelBackground = qRgb(236, 236, 236);
const QRgb editorBackground = qRgb(30, 30, 30); // pelmora_keylog's window

void wait(int ms)
{
    for (QDeadlineTimer deadline(ms); !deadline.hasExpired();)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

template<typename F> bool waitFor(F condition, int ms)
{
    for (QDeadlineTimer deadline(ms); !deadline.hasExpired(); wait(100))
        if (condition())
            return true;
    return condition();
}

int distance(const QRect &a, const QRect &b)
{
    const int dx = std::max({0, b.left() - a.right() - 1, a.left() - b.right() - 1});
    const int dy = std::max({0, b.top() - a.bottom() - 1, a.top() - b.bottom() - 1});
    return int(std::lround(std::hypot(dx, dy)));
}

QString text(const QRect &r)
{
    return QStringLiteral("%1,%2 %3×%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

// Where the search field sits in the panel: the same widgets, offscreen.
QRect searchField()
{
    PopoverFixture fixture;
    pelmora::PopoverView view(*fixture.store, fixture.settings());
    view.layout()->activate();
    QWidget *field = view.findChild<QWidget *>(QStringLiteral("filterBar"));
    return QRect(field->mapTo(&view, QPoint()), field->size());
}

class Row {
public:
    Row(QString name, QString pelmoraPath) : m_name(std::move(name)), m_pelmoraPath(std::move(pelmoraPath)) { }

    WaylandRow run(const QString &pictures)
    {
        WaylandRow row;
        row.host = m_name;
        const Compositor compositor = m_name == u"kwin-wayland" ? Compositor::kwin
            : m_name == u"gnome-wayland"                        ? Compositor::gnomeShell
            : m_name == u"weston"                               ? Compositor::weston
                                                                : Compositor::sway;
        m_session = std::make_unique<WaylandSession>(WaylandSession::Options{compositor, true});
        // KWin lends its window list only to a program whose desktop file asks for it by its path.
        QDir().mkpath(m_session->home() + "/.local/share/applications");
        QFile probe(m_session->home() + "/.local/share/applications/pelmora-askquit.desktop");
        if (probe.open(QIODevice::WriteOnly))
            probe.write("[Desktop Entry]\nType=Application\nName=Quit probe\nNoDisplay=true\nExec="
                        + QFile::encodeName(askQuit) + "\nX-KDE-Wayland-Interfaces=org_kde_plasma_window_management\n");
        probe.close();
        if (m_session->start() != pelmora::SessionStart::ready) {
            row.note = m_session->errorString().left(200);
            return row;
        }
        m_compositor = compositor;
        if (compositor == Compositor::weston) {
            westonRow(row, pictures);
            return row;
        }
        // A window that writes whatever keys reach it to a file, focused as the user left it.
        m_typed = m_session->home() + "/typed";
        m_editor = m_session->startProgram(PELMORA_BINARY_DIR "/tests/helpers/pelmora_keylog", {m_typed});
        wait(3000);
        // The bars before pelmora starts: a badge-like icon already there (a
        // launcher, GNOME's remote-desktop indicator) is not the item.
        m_before = m_session->grab();
        m_pelmora = m_session->startProgram(m_pelmoraPath);
        QRect item;
        if (!m_pelmora || !waitFor([&] { return (item = findItem()).isValid(); }, 20000)) {
            const QImage shot = m_session->grab();
            row.item = QStringLiteral("NOT SHOWN (items registered: %1, screenshot: %2)")
                           .arg(m_session->registeredStatusNotifierItems().size())
                           .arg(shot.isNull() ? QStringLiteral("none")
                                              : QStringLiteral("%1×%2").arg(shot.width()).arg(shot.height()));
            if (!shot.isNull())
                shot.save(pictures + "/" + m_name + "-no-item.png");
            return row;
        }
        row.item = QStringLiteral("shown (%1)").arg(text(item));
        // That window holds the keyboard, as the user left it (clicked into
        // it): a key shows whether it gets keys at all.
        m_editorTyped = clickEditor() && waitFor([&] { return hasKeyboard(); }, 10000) && m_session->type("e")
            && waitFor([&] { return typed() == "e"; }, 15000);
        m_editorKept = typed();
        if (!activate(item)) {
            row.panel = QStringLiteral("no activation");
            return row;
        }
        QRect panel;
        if (!waitFor([&] { return (panel = findPanel()).isValid(); }, 8000)) {
            row.panel = QStringLiteral("NO PANEL");
            return row;
        }
        wait(800);
        panel = findPanel();
        const QRect free = freeArea();
        row.panel = QStringLiteral("%1: %2 px from the item, %3 the free area %4%5")
                        .arg(text(panel))
                        .arg(distance(panel, item))
                        .arg(free.contains(panel) ? "inside" : "OUTSIDE", text(free), placementNote());
        const QString path = pictures + "/" + m_name + ".png";
        if (const QImage shot = m_session->grab(); !shot.isNull() && shot.save(path))
            row.picture = path;
        row.keys = keys(panel);
        row.quit = quit();
        return row;
    }

private:
    QRect findItem() const
    {
        if (m_session->registeredStatusNotifierItems().isEmpty())
            return {};
        const QImage shot = m_session->grab();
        QList<QRgb> fills{qRgb(246, 246, 244)};
        if (m_compositor == Compositor::gnomeShell)
            fills << qRgb(234, 234, 232);
        QList<QRect> found;
        for (const QRect strip : {QRect(0, 0, 1280, 60), QRect(0, 740, 1280, 60)})
            for (const QRect &box : pelmora::findSquares(shot, strip, fills, 10, 40))
                if (m_before.isNull() || pelmora::changedPixels(m_before, shot, box) > box.width() * box.height() / 4)
                    found << box;
        return found.size() == 1 ? found.constFirst() : QRect();
    }

    // A click on the item where the session has a pointer; else the call the
    // host makes for one (Plasma on a click, GNOME's extension on a double
    // click): Activate with the item's screen position.
    bool activate(const QRect &item)
    {
        if (m_compositor == Compositor::sway)
            return m_session->click(item.center());
        const QString service = QStringLiteral("org.kde.StatusNotifierItem-%1-1").arg(m_pelmora->processId());
        QDBusConnection bus = QDBusConnection::connectToBus(m_session->busAddress(), "matrix-" + m_name);
        QDBusMessage call = QDBusMessage::createMethodCall(service, "/StatusNotifierItem", "org.kde.StatusNotifierItem",
                                                           "Activate");
        call << item.center().x() << item.center().y();
        const QDBusMessage reply = bus.call(call, QDBus::Block, 5000);
        QDBusConnection::disconnectFromBus("matrix-" + m_name);
        return reply.type() == QDBusMessage::ReplyMessage;
    }

    // sway and KWin list the panel's window; GNOME Shell shows it.
    QRect findPanel() const
    {
        if (m_compositor != Compositor::gnomeShell) {
            for (const auto &view : m_session->views())
                if (view.pid == m_pelmora->processId() && view.title.startsWith(u"Pelmora panel"))
                    return view.rect;
            return {};
        }
        const QImage shot = m_session->grab();
        for (const QRect &patch : pelmora::findPatches(shot, shot.rect(), panelBackground, 2))
            if (std::abs(patch.width() - 440) <= 4 && patch.height() > 100)
                return QRect(patch.topLeft(), QSize(440, 520));
        return {};
    }

    QString placementNote() const
    {
        if (m_compositor == Compositor::gnomeShell)
            return QStringLiteral(" (Mutter places it)");
        if (m_compositor != Compositor::kwin)
            return {};
        for (const auto &view : m_session->views())
            if (view.pid == m_pelmora->processId() && view.title.startsWith(u"Pelmora panel"))
                return QStringLiteral("; task manager: %1; KWin's active window: %2")
                    .arg(view.skipsTaskbar ? "no entry" : "LISTED", view.focused ? "the panel" : "NOT THE PANEL");
        return {};
    }

    QRect freeArea() const
    {
        if (m_compositor == Compositor::sway)
            return m_session->freeArea();
        QRect free = screenRect;
        if (m_compositor == Compositor::kwin) {
            for (const auto &view : m_session->views())
                if (view.rect.height() < 100 && view.rect.width() > 600)
                    free.setBottom(std::min(free.bottom(), view.rect.top() - 1)); // Plasma's panel at the bottom
            return free;
        }
        // GNOME's top bar: the dark rows at the top of the screen.
        const QImage shot = m_session->grab();
        int bar = 0;
        while (bar < 100 && qGray(shot.pixel(640, bar)) < 40)
            ++bar;
        free.setTop(bar);
        return free;
    }

    QByteArray typed() const
    {
        QFile file(m_typed);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }

    bool hasKeyboard() const
    {
        QFile file(m_typed + ".focus");
        return file.open(QIODevice::ReadOnly) && file.readAll() == "in";
    }

    bool clickEditor()
    {
        QRect window;
        const bool shown = waitFor(
            [&] {
                const QImage shot = m_session->grab();
                for (const QRect &patch : pelmora::findPatches(shot, shot.rect(), editorBackground, 3))
                    if (patch.width() > 300 && patch.height() > 300)
                        window = patch;
                return window.isValid();
            },
            10000);
        m_editorShown = shown;
        return shown && m_session->click(window.center());
    }

    QString editorState() const
    {
        if (!m_editor)
            return QStringLiteral("it did not start");
        if (!m_editorShown)
            return QStringLiteral("its window is not on the screen");
        if (m_editor->state() != QProcess::Running)
            return QStringLiteral("it ended (%1 %2): %3")
                .arg(m_editor->exitStatus() == QProcess::CrashExit ? "signal" : "exit")
                .arg(m_editor->exitCode())
                .arg(QString::fromLocal8Bit(m_editor->readAllStandardError()).simplified().right(240));
        return QStringLiteral("it runs; it got \"%1\"").arg(QString::fromUtf8(typed()));
    }

    QString keys(const QRect &panel)
    {
        const QRect field = searchField().translated(panel.topLeft());
        const QImage before = m_session->grab();
        if (!m_session->type("zq"))
            return QStringLiteral("could not type");
        const bool reached = waitFor([&] { return pelmora::changedPixels(before, m_session->grab(), field) > 30; },
                                     5000);
        m_session->keys({"Tab", "Down", "Escape"});
        const bool closed = waitFor([&] { return !findPanel().isValid(); }, 5000);
        const QByteArray after = typed();
        const QString editor = !after.startsWith(m_editorKept) ? QStringLiteral("LOST ITS TEXT")
            : after.size() > m_editorKept.size() ? "GOT \"" + QString::fromUtf8(after.mid(m_editorKept.size())) + "\""
                                                 : QStringLiteral("got none");
        return QStringLiteral("%1; the window focused before %2 (%3); Escape %4")
            .arg(reached ? "search field got them" : "NOT IN THE SEARCH FIELD", editor,
                 m_editorTyped ? QStringLiteral("it had got a key typed before")
                               : "it had NOT got a key typed before: " + editorState(),
                 closed ? "closed it" : "did NOT close it");
    }

    // "Quit …" as the panel runs it (pelmora_askquit inside the session) on
    // each Wayland-native editor, holding unsaved text where the session has
    // a keyboard, and on foot: what the quit service answered, and what came
    // of it. What stays open is stopped with the session.
    QString quit()
    {
        QStringList results;
        QProcessEnvironment native;
        native.insert("QT_QPA_PLATFORM", "wayland");
        const bool listed = m_compositor == Compositor::sway || m_compositor == Compositor::kwin;
        const bool keyboard = m_compositor == Compositor::sway || m_compositor == Compositor::gnomeShell;
        for (const QString program : {"featherpad", "kwrite", "foot"}) {
            // foot runs cat: the session user's shell is nologin.
            const QStringList arguments = program == u"foot" ? QStringList{"--", "sh", "-c", "exec cat"}
                                                             : QStringList();
            QProcess *app = QStandardPaths::findExecutable(program).isEmpty()
                ? nullptr
                : m_session->startProgram(program, arguments, native);
            if (!app) {
                results << program + ": not installed";
                continue;
            }
            const qint64 pid = app->processId();
            const auto windows = [&] {
                int n = 0;
                for (const auto &view : m_session->views())
                    n += view.pid == pid;
                return n;
            };
            if (listed ? !waitFor([&] { return windows() == 1; }, 15000) : (wait(5000), false)) {
                results << program + ": NO WINDOW";
                continue;
            }
            const bool typed = keyboard && program != u"foot" && m_session->type("words nobody saved");
            wait(1000);
            QProcess *ask = m_session->startProgram(askQuit, {QString::number(pid)});
            const QString answer = ask && ask->waitForFinished(15000)
                ? QString::fromUtf8(ask->readAllStandardOutput().trimmed())
                : QStringLiteral("no answer");
            QString outcome = QStringLiteral("still open");
            if (waitFor([&] { return app->state() != QProcess::Running; }, 5000))
                outcome = app->exitStatus() == QProcess::NormalExit ? "closed" : "KILLED";
            else if (pelmora::wasSignalledToEnd(pid))
                outcome = QStringLiteral("SIGNALLED");
            else if (listed && windows() > 1)
                outcome = QStringLiteral("a question, still open");
            results << QStringLiteral("%1%2: %3, %4").arg(program, typed ? " (unsaved text)" : "", answer, outcome);
        }
        return results.join("; ");
    }

    void westonRow(WaylandRow &row, const QString &pictures)
    {
        m_pelmora = m_session->startProgram(m_pelmoraPath);
        QRect window;
        const bool shown =
            m_pelmora
            && waitFor(
                [&] {
                    const QImage shot = m_session->grab();
                    const QList<QRect> patches = pelmora::findPatches(shot, shot.rect(), panelBackground, 3);
                    window = !patches.isEmpty() && patches.constFirst().width() >= 400 ? patches.constFirst() : QRect();
                    return window.isValid();
                },
                25000);
        row.item = QStringLiteral("no tray: %1").arg(shown ? "the window after the grace period" : "NO WINDOW");
        row.panel = shown ? QStringLiteral("window %1 (weston places it), %2 the screen")
                                .arg(text(window), screenRect.contains(window) ? "inside" : "OUTSIDE")
                          : QStringLiteral("–");
        row.keys = QStringLiteral("not typed: weston's headless backend has no seat");
        row.quit = quit();
        const QString path = pictures + "/" + m_name + ".png";
        if (const QImage shot = m_session->grab(); !shot.isNull() && shot.save(path))
            row.picture = path;
    }

    QString m_name;
    QString m_pelmoraPath;
    std::unique_ptr<WaylandSession> m_session;
    Compositor m_compositor = Compositor::sway;
    QProcess *m_pelmora = nullptr;
    QString m_typed;
    QProcess *m_editor = nullptr;
    bool m_editorShown = false;
    bool m_editorTyped = false;
    QByteArray m_editorKept;
    QImage m_before;
};

} // namespace

WaylandRow runWaylandRow(const QString &name, const QString &pelmora, const QString &pictures)
{
    return Row(name, pelmora).run(pictures);
}
