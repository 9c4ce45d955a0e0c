// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "AppQuitter.h"

#include "DisplayConnections.h"
#include "QuitRoute.h"

#include "platform/SessionBusActions.h"
#include "platform/X11Windows.h"

#include <csignal>
#include <memory>

namespace pelmora {
namespace {

const QString quitAction = QStringLiteral("quit");
// An application that does not describe its actions within this is taken to have none.
constexpr int describeTimeoutMs = 2000;

// One bus name of a target that might carry its Quit command.
struct ActionProbe {
    std::size_t target = 0;
    QString uniqueName;
    QString objectPath;
    bool isQuit = false;
};

struct Batch {
    std::vector<QuitTarget> targets;
    std::string procRoot;
    std::optional<platform::SessionBusActions> bus;
    std::vector<ActionProbe> probes; // per target in name order
    std::size_t pending = 0;
};

// Lazily read, once per batch: what the display server and the socket table say.
class Surroundings {
public:
    explicit Surroundings(std::string procRoot) : m_procRoot(std::move(procRoot)) {}

    platform::X11Display *display()
    {
        if (!m_displayRead) {
            m_displayRead = true;
            if ((m_display = platform::X11Display::open()))
                m_desktop = m_display->readDesktop();
            m_machine = platform::localClientMachine();
        }
        return m_display.get();
    }
    platform::X11Display *openedDisplay() const { return m_display.get(); }
    const platform::X11Desktop &desktop()
    {
        display();
        return m_desktop;
    }
    const std::string &machine()
    {
        display();
        return m_machine;
    }

    bool talksToDisplayServer(std::int32_t pid)
    {
        if (!m_linksRead) {
            m_linksRead = true;
            m_links = readDisplayLinks();
        }
        return pelmora::talksToDisplayServer(readHeldSockets(m_procRoot, pid, m_links), m_links);
    }

private:
    std::string m_procRoot;
    bool m_displayRead = false;
    std::unique_ptr<platform::X11Display> m_display;
    platform::X11Desktop m_desktop;
    std::string m_machine;
    bool m_linksRead = false;
    std::optional<DisplayLinks> m_links;
};

void askEachTarget(Batch &batch)
{
    Surroundings around(batch.procRoot);
    for (std::size_t i = 0; i < batch.targets.size(); ++i) {
        const QuitTarget &target = batch.targets[i];
        // Until it ends, its pid names it and nobody else.
        if (target.handle.hasEnded())
            continue;
        RouteFacts facts;
        const ActionProbe *quit = nullptr;
        for (const ActionProbe &probe : batch.probes)
            if (probe.target == i && probe.isQuit && !quit)
                quit = &probe;
        facts.hasQuitAction = quit != nullptr;

        std::vector<platform::X11ClientWindow> windows;
        if (!facts.hasQuitAction) {
            windows = windowsOf(around.desktop().windows, std::uint32_t(target.pid), around.machine());
            for (const platform::X11ClientWindow &window : windows)
                ++(closeRequestFor(window, around.desktop().windowManagerClosesWindows) == CloseRequest::none
                       ? facts.unclosableWindows
                       : facts.closableWindows);
            if (windows.empty())
                facts.mayHoldUnseenWindows = around.talksToDisplayServer(target.pid);
        }

        switch (chooseRoute(facts)) {
        case QuitRoute::ownQuitCommand:
            batch.bus->activateAction(quit->uniqueName, quit->objectPath, quitAction);
            break;
        case QuitRoute::closeWindows:
            if (target.handle.hasEnded())
                break;
            for (const platform::X11ClientWindow &window : windows) {
                switch (closeRequestFor(window, around.desktop().windowManagerClosesWindows)) {
                case CloseRequest::throughWindowManager:
                    around.display()->askWindowManagerToClose(window.id);
                    break;
                case CloseRequest::deleteWindow:
                    around.display()->sendDeleteWindow(window.id);
                    break;
                case CloseRequest::none:
                    break;
                }
            }
            break;
        case QuitRoute::terminate:
            target.handle.sendSignal(SIGTERM);
            break;
        case QuitRoute::leaveAlone:
            break;
        }
    }
    // Close requests are on their way before the connection goes.
    if (platform::X11Display *display = around.openedDisplay())
        display->sync();
}

} // namespace

void quitApplication(const AppMetric &app, const AppRegistry &registry, const platform::ProcRoot &root)
{
    askToQuit(pinQuitTargets(app, registry, root, platform::realUserId()), root.path());
}

void askToQuit(std::vector<QuitTarget> targets, const std::string &procRoot)
{
    if (targets.empty())
        return;
    auto batch = std::make_shared<Batch>();
    batch->targets = std::move(targets);
    batch->procRoot = procRoot;
    batch->bus = platform::SessionBusActions::connect();
    if (!batch->bus)
        return askEachTarget(*batch);

    batch->bus->listPeers([batch](const QList<platform::BusPeer> &peers) {
        for (std::size_t i = 0; i < batch->targets.size(); ++i)
            for (const platform::BusPeer &peer : peers)
                if (peer.pid == quint32(batch->targets[i].pid))
                    for (const QString &name : peer.names)
                        if (const QString path = applicationObjectPath(name); !path.isEmpty())
                            batch->probes.push_back({i, peer.uniqueName, path, false});
        if (batch->probes.empty())
            return askEachTarget(*batch);
        batch->pending = batch->probes.size();
        for (std::size_t k = 0; k < batch->probes.size(); ++k) {
            const ActionProbe &probe = batch->probes[k];
            batch->bus->describeAction(probe.uniqueName, probe.objectPath, quitAction, describeTimeoutMs,
                                       [batch, k](const std::optional<platform::ActionDescription> &description) {
                                           batch->probes[k].isQuit = isPlainAction(description);
                                           if (--batch->pending == 0)
                                               askEachTarget(*batch);
                                       });
        }
    });
}

} // namespace pelmora
