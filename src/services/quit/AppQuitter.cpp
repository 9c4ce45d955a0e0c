// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "AppQuitter.h"

#include "DisplayConnections.h"
#include "QuitRoute.h"
#include "QuitWindows.h"
#include "ServerReach.h"

#include "platform/SessionBusActions.h"
#include "platform/SocketPeer.h"

#include <QHash>

#include <csignal>
#include <memory>

namespace pelmora {
namespace {

const QString quitAction = QStringLiteral("quit");
// An application that does not describe its actions within this is taken to
// have none; the bus itself answers far sooner.
constexpr int describeTimeoutMs = 2000;
constexpr int credentialsTimeoutMs = 2000;

// One bus name of a target that might carry its Quit command.
struct Candidate {
    std::size_t target = 0;
    QString uniqueName;
    QString objectPath;
    BusConnectionFacts facts;
    bool isTargets = false;
    bool isQuit = false;
};

struct Batch {
    QString appId, appName;
    PinnedTargets pinned;
    std::string procRoot;
    QuitAnswer done;
    std::optional<platform::SessionBusActions> bus;
    std::vector<Candidate> candidates;
    std::size_t pending = 0;
};

void askEachTarget(Batch &batch)
{
    const platform::ProcRoot root(batch.procRoot);
    SocketSurvey sockets(batch.procRoot);
    const std::unique_ptr<QuitWindows> windows = openQuitWindows(root, sockets);
    std::vector<RouteChoice> choices;
    for (std::size_t i = 0; i < batch.pinned.targets.size(); ++i) {
        const QuitTarget &target = batch.pinned.targets[i];
        // Until it ends, its pid names it and nobody else.
        if (target.handle.hasEnded())
            continue;
        RouteFacts facts;
        const Candidate *quit = nullptr;
        for (const Candidate &candidate : batch.candidates)
            if (candidate.target == i && candidate.isTargets && candidate.isQuit && !quit)
                quit = &candidate;
        facts.hasQuitAction = quit != nullptr;

        const std::vector<QuitWindow> own = windows ? windows->windowsOf(target) : std::vector<QuitWindow>();
        for (const QuitWindow &window : own)
            ++(window.takesCloseRequest ? facts.closableWindows : facts.unclosableWindows);
        facts.windowSystemAttributes = windows && windows->attributesWindows(target);
        if (own.empty())
            facts.mayHoldUnseenWindows = talksToDisplayServer(sockets.heldBy(target.pid), sockets.links());

        const RouteChoice choice = chooseRoute(facts);
        choices.push_back(choice);
        // What the application asks next shows where the user is: its
        // topmost window comes forward first.
        const auto bringForward = [&](auto &&accepts) {
            for (auto it = own.crbegin(); it != own.crend(); ++it)
                if (accepts(*it))
                    return windows->bringForward(it->id);
        };
        switch (choice.route) {
        case QuitRoute::ownQuitCommand:
            bringForward([](const QuitWindow &) { return true; });
            if (windows)
                windows->flush();
            batch.bus->activateAction(quit->uniqueName, quit->objectPath, quitAction);
            break;
        case QuitRoute::closeWindows:
            if (target.handle.hasEnded())
                break;
            bringForward([](const QuitWindow &w) { return w.takesCloseRequest; });
            for (const QuitWindow &window : own)
                if (window.takesCloseRequest)
                    windows->askToClose(window.id);
            break;
        case QuitRoute::terminate:
            target.handle.sendSignal(SIGTERM);
            break;
        case QuitRoute::none:
            break;
        }
    }
    // Window requests are on their way before the connection goes.
    if (windows)
        windows->flush();
    batch.done(outcomeOf(batch.appId, batch.appName, choices, batch.pinned.othersOwnSome));
}

// Asks the proven candidates whether they have a plain "quit", then asks each target.
void describeProven(const std::shared_ptr<Batch> &batch)
{
    batch->pending = 0;
    for (const Candidate &candidate : batch->candidates)
        batch->pending += candidate.isTargets;
    if (batch->pending == 0)
        return askEachTarget(*batch);
    for (std::size_t k = 0; k < batch->candidates.size(); ++k) {
        const Candidate &candidate = batch->candidates[k];
        if (!candidate.isTargets)
            continue;
        batch->bus->describeAction(candidate.uniqueName, candidate.objectPath, quitAction, describeTimeoutMs,
                                   [batch, k](const std::optional<platform::ActionDescription> &description) {
                                       batch->candidates[k].isQuit = isPlainAction(description);
                                       if (--batch->pending == 0)
                                           askEachTarget(*batch);
                                   });
    }
}

// Settles which candidates are their target's own connection.
void proveCandidates(const std::shared_ptr<Batch> &batch)
{
    SocketSurvey sockets(batch->procRoot);
    const std::vector<std::string> busNames{batch->bus->socketName()};
    std::optional<bool> sharesNamespace;
    for (Candidate &candidate : batch->candidates) {
        const QuitTarget &target = batch->pinned.targets[candidate.target];
        if (!candidate.facts.offersProcessHandle) {
            if (!sharesNamespace)
                sharesNamespace = sharesPidNamespace(platform::ProcRoot(batch->procRoot),
                                                     platform::peerProcessAt(busNames.front()));
            candidate.facts.busSharesPidNamespace = *sharesNamespace;
            candidate.facts.targetConnections = connectionsTo(sockets.heldBy(target.pid), sockets.links(), busNames);
        }
        candidate.isTargets = isTargetsConnection(candidate.facts, target.pid);
    }
    describeProven(batch);
}

} // namespace

void quitApplication(const AppMetric &app, const AppRegistry &registry, const platform::ProcRoot &root, QuitAnswer done)
{
    askToQuit(app.id, app.name, pinQuitTargets(app, registry, root, platform::realUserId()), root.path(),
              std::move(done));
}

void askToQuit(const QString &appId, const QString &appName, PinnedTargets pinned, const std::string &procRoot,
               QuitAnswer done)
{
    auto batch = std::make_shared<Batch>();
    batch->appId = appId;
    batch->appName = appName;
    batch->pinned = std::move(pinned);
    batch->procRoot = procRoot;
    batch->done = done ? std::move(done) : [](QuitOutcome) {};
    if (batch->pinned.targets.empty())
        return askEachTarget(*batch);
    batch->bus = platform::SessionBusActions::connect();
    if (!batch->bus)
        return askEachTarget(*batch);

    batch->bus->listConnections([batch](const QList<platform::BusConnection> &connections) {
        QHash<quint32, std::size_t> connectionsPerPid;
        for (const platform::BusConnection &connection : connections)
            if (connection.pid)
                ++connectionsPerPid[*connection.pid];
        // The bus's pid only preselects: proveCandidates() decides.
        for (std::size_t i = 0; i < batch->pinned.targets.size(); ++i)
            for (const platform::BusConnection &connection : connections)
                if (connection.pid && *connection.pid == quint32(batch->pinned.targets[i].pid))
                    for (const QString &name : connection.names)
                        if (const QString path = applicationObjectPath(name); !path.isEmpty()) {
                            Candidate candidate;
                            candidate.target = i;
                            candidate.uniqueName = connection.uniqueName;
                            candidate.objectPath = path;
                            candidate.facts.reportedPid = connection.pid;
                            candidate.facts.connectionsWithPid = connectionsPerPid.value(*connection.pid);
                            batch->candidates.push_back(std::move(candidate));
                        }
        if (batch->candidates.empty())
            return askEachTarget(*batch);
        batch->pending = batch->candidates.size();
        for (std::size_t k = 0; k < batch->candidates.size(); ++k)
            batch->bus->processOf(batch->candidates[k].uniqueName, credentialsTimeoutMs,
                                  [batch, k](platform::BusProcess process) {
                                      BusConnectionFacts &facts = batch->candidates[k].facts;
                                      facts.offersProcessHandle = process.handle.isValid();
                                      facts.handlePid = process.handle.currentPid();
                                      if (--batch->pending == 0)
                                          proveCandidates(batch);
                                  });
    });
}

std::size_t endApplication(const AppMetric &app, const AppRegistry &registry, const platform::ProcRoot &root)
{
    std::size_t signalled = 0;
    for (const QuitTarget &target : pinQuitTargets(app, registry, root, platform::realUserId()).targets)
        signalled += target.handle.sendSignal(SIGTERM);
    return signalled;
}

} // namespace pelmora
