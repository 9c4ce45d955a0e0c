// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// pelmora_askquit PID: asks the application that owns PID to quit through
// Pelmora's own quit service, as the panel's "Quit …" does, in the session
// it runs in, and prints what came of it ("asked", or "noRoute" and why).
// For sessions where the panel cannot be driven (a compositor without input
// devices).
#include "services/ProcStat.h"
#include "services/ProcessFacts.h"
#include "services/quit/AppQuitter.h"
#include "support/TextServices.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

using namespace pelmora;

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    const qint32 pid = argc == 2 ? QByteArray(argv[1]).toInt() : 0;
    const platform::ProcRoot root;
    const AppRegistry registry;
    std::string stat;
    const std::optional<ProcStat> parsed = root.readFile(std::to_string(pid) + "/stat", stat, 4096)
        ? parseProcStat(stat)
        : std::nullopt;
    const std::optional<QString> name = registry.applicationName(readProcessFacts(root, pid));
    if (pid <= 1 || !parsed || !name) {
        std::fprintf(stderr, "no application owns %d\n", pid);
        return 2;
    }
    AppMetric app{localizedLowercase(*name), *name, 0, 0, {}};
    app.processes.append({pid, *name, *name, 0, 0, parsed->startTimeTicks});
    int status = 1;
    quitApplication(app, registry, root, [&](const QuitOutcome &outcome) {
        static const char *const kinds[] = {"asked", "gone", "noRoute"};
        static const char *const reasons[] = {"", " otherUsers", " windowSystemSilent", " forceOnly", " unseenWindows"};
        std::printf("%s%s\n", kinds[int(outcome.kind)], reasons[int(outcome.reason)]);
        std::fflush(stdout);
        status = 0;
        QTimer::singleShot(0, &application, &QCoreApplication::quit);
    });
    if (status != 0) // the answer comes later, from the event loop
        application.exec();
    return status;
}
