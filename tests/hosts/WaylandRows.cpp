// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "WaylandRows.h"

#include "RowChecks.h"

#include "testsupport/ScreenPatches.h"
#include "testsupport/WaylandSession.h"

#include <QtDBus>
#include <QtGui>

using pelmora::WaylandSession;
using Compositor = WaylandSession::Compositor;
using namespace hostrows;

namespace {

const QRect screenRect(QPoint(), WaylandSession::screenSize);
const QRgb panelBackground = qRgb(236, 236, 236);
const QRgb editorBackground = qRgb(30, 30, 30); // pelmora_keylog's window

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
                        + QFile::encodeName(askQuitProgram)
                        + "\nX-KDE-Wayland-Interfaces=org_kde_plasma_window_management\n");
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
        m_recorder.file = m_session->home() + "/typed";
        m_recorder.process = m_session->startProgram(keyLogProgram, {m_recorder.file});
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
        m_recorder.takeKey(seat(), clickEditor() && waitFor([&] { return m_recorder.focused(); }, 10000));
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
        row.panel = placement(panel, item, freeArea()) + placementNote();
        const QString path = pictures + "/" + m_name + ".png";
        if (const QImage shot = m_session->grab(); !shot.isNull() && shot.save(path))
            row.picture = path;
        row.keys = typeIntoPanel(
            seat(), panel, [&] { return findPanel().isValid(); }, m_recorder);
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

    Seat seat()
    {
        return {[this] { return m_session->grab(); }, [this](const QString &text) { return m_session->type(text); },
                [this](const QStringList &names) { return m_session->keys(names); }};
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
        m_recorder.shown = shown;
        return shown && m_session->click(window.center());
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
        const bool keyboard = m_compositor != Compositor::weston;
        for (const QString program : {"featherpad", "kwrite", "foot"}) {
            // KWrite opens a document only when given one (else its welcome page): an empty one
            // from standard input. foot runs cat: the session user's shell is nologin.
            const QStringList arguments = program == u"foot" ? QStringList{"--", "sh", "-c", "exec cat"}
                : program == u"kwrite"                       ? QStringList{"--stdin"}
                                                             : QStringList();
            QProcess *app = QStandardPaths::findExecutable(program).isEmpty()
                ? nullptr
                : m_session->startProgram(program, arguments, native);
            if (!app) {
                results << program + ": not installed";
                continue;
            }
            app->closeWriteChannel();
            const qint64 pid = app->processId();
            const auto titles = [&] {
                QStringList own;
                for (const auto &view : m_session->views())
                    if (view.pid == pid)
                        own << view.title;
                return own;
            };
            const auto ask = [&](qint64 target) {
                return m_session->startProgram(askQuitProgram, {QString::number(target)});
            };
            if (listed ? !waitFor([&] { return titles().size() == 1; }, 15000) : (wait(5000), false)) {
                results << (app->state() == QProcess::Running ? program + ": NO WINDOW"
                                                              : quitResult(program, app, ask, nullptr));
                continue;
            }
            QString label = program;
            if (keyboard && program != u"foot" && m_session->type("words nobody saved")) {
                // Both editors mark a modified document with '*' in their title; GNOME lists no titles.
                const bool marked = listed && waitFor([&] { return titles().join(' ').contains(u'*'); }, 5000);
                label += !listed ? " (text typed)" : marked ? " (unsaved text)" : " (text typed, title NOT marked)";
            }
            wait(1000);
            results << quitResult(label, app, ask,
                                  listed ? std::function<int()>([&] { return int(titles().size()); }) : nullptr);
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
    KeyRecorder m_recorder;
    QImage m_before;
};

} // namespace

WaylandRow runWaylandRow(const QString &name, const QString &pelmora, const QString &pictures)
{
    return Row(name, pelmora).run(pictures);
}
