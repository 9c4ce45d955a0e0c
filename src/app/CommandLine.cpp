#include "CommandLine.h"

#include "OnceReport.h"
#include "stores/MetricsStore.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace pelmora {
namespace {

struct Modes {
    bool once = false;
};

Modes parse(const QCoreApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Shows the machine's CPU and memory use in the panel, with the running applications a click away."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption once(QStringLiteral("once"),
                                  QStringLiteral("Take two samples one second apart, print the figures and the "
                                                 "applications, and exit."));
    const QCommandLineOption probe(QStringLiteral("metrics-probe"),
                                   QStringLiteral("Append a diagnostic trail of each refresh to <path>."),
                                   QStringLiteral("path"));
    const QCommandLineOption window(QStringLiteral("window"),
                                    QStringLiteral("Show the panel as an ordinary window instead of a tray item."));
    parser.addOption(once);
    parser.addOption(window);
    parser.addOption(probe);
    parser.process(app);
    return Modes{parser.isSet(once)};
}

} // namespace

int runPelmora(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("pelmora"));
    QCoreApplication::setOrganizationName(QStringLiteral("pelmora"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PELMORA_VERSION));

    QCoreApplication app(argc, argv);
    const Modes modes = parse(app);
    if (modes.once)
        return runOnce();

    MetricsStore store;
    return app.exec();
}

} // namespace pelmora
