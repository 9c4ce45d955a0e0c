// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "CommandLine.h"

#include "AppIdentity.h"
#include "Appearance.h"
#include "Autostart.h"
#include "OnceReport.h"
#include "PelmoraApp.h"
#include "SingleInstance.h"
#include "Translations.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QIcon>
#include <QLibraryInfo>

#include <cstdio>

namespace pelmora {
namespace {

// Made after the catalogues are installed, so --help speaks the user's language.
struct Options {
    QCommandLineOption once{QStringLiteral("once"),
                            QCoreApplication::translate("CommandLine",
                                                        "Take two samples one second apart, print the machine's "
                                                        "figures and the applications, and exit. Needs no desktop.")};
    QCommandLineOption window{
        QStringLiteral("window"),
        QCoreApplication::translate("CommandLine", "Show the panel as an ordinary window instead of a tray item.")};
    QCommandLineOption probe{QStringLiteral("metrics-probe"),
                             QCoreApplication::translate("CommandLine",
                                                         "Append a diagnostic trail of each refresh to <path> "
                                                         "(PELMORA_METRICS_PROBE_PATH wins over it)."),
                             QCoreApplication::translate("CommandLine", "path")};
    QCommandLineOption autostart{
        QStringLiteral("autostart"),
        QCoreApplication::translate("CommandLine",
                                    "Start with the desktop session (on) or no longer (off): writes or removes "
                                    "$XDG_CONFIG_HOME/autostart/pelmora.desktop, and exits."),
        QStringLiteral("on|off")};
};

void describe(QCommandLineParser &parser, const Options &options)
{
    parser.setApplicationDescription(QCoreApplication::translate(
        "CommandLine",
        "Shows the machine's CPU and memory use in the panel, with the running applications a click away."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(options.once);
    parser.addOption(options.window);
    parser.addOption(options.probe);
    parser.addOption(options.autostart);
}

void printError(const QString &text)
{
    std::fprintf(stderr, "pelmora: %s\n", qPrintable(text));
}

int switchAutostart(const QString &value)
{
    const bool on = value == u"on";
    if (!on && value != u"off") {
        printError(QCoreApplication::translate("CommandLine", "--autostart takes on or off, not '%1'.").arg(value));
        return 1;
    }
    const autostart::Outcome outcome = on ? autostart::enable(autostart::thisProgram()) : autostart::disable();
    if (!outcome.error.isEmpty()) {
        printError(outcome.error);
        return 1;
    }
    const QString path = autostart::entryPath();
    QString done;
    if (on)
        done =
            QCoreApplication::translate("CommandLine", "Pelmora will start with the desktop session (%1).").arg(path);
    else if (outcome.changed)
        done = QCoreApplication::translate("CommandLine",
                                           "Pelmora will no longer start with the desktop session (%1 removed).")
                   .arg(path);
    else
        done = QCoreApplication::translate("CommandLine",
                                           "Pelmora was not set to start with the desktop session: there was "
                                           "nothing to remove (%1 does not exist).")
                   .arg(path);
    std::printf("%s\n", qPrintable(done));
    return 0;
}

bool hasDisplay()
{
    // An explicit platform (offscreen, minimal, ...) needs no display server.
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

bool waylandPluginInstalled()
{
    const QDir platforms(QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms"));
    return !platforms.entryList({QStringLiteral("libqwayland*.so")}, QDir::Files).isEmpty();
}

// In a Wayland session Qt takes its Wayland plugin (else XWayland): only a
// Wayland window gets the keyboard from the compositor, and XWayland's
// compositor gives none to an X11 popup. Without the plugin Qt would fall
// back to XWayland, or abort where there is none: say what is missing.
enum class WaylandPlugin { fine, missingXWaylandUsed, missingNoFallback };

WaylandPlugin checkWaylandPlugin()
{
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")
        || waylandPluginInstalled())
        return WaylandPlugin::fine;
    return qEnvironmentVariableIsEmpty("DISPLAY") ? WaylandPlugin::missingNoFallback
                                                  : WaylandPlugin::missingXWaylandUsed;
}

} // namespace

int runPelmora(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("pelmora"));
    QCoreApplication::setOrganizationName(QStringLiteral("pelmora"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PELMORA_VERSION));

    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // "--metrics-probe" with nothing after it leaves the trail off (the probe
    // finds no path either); the parser would take it for a mistake.
    if (arguments.size() > 1 && arguments.last() == u"--metrics-probe")
        arguments.removeLast();
    const Options options;
    QCommandLineParser parser;
    describe(parser, options);
    const bool parsed = parser.parse(arguments);

    if (!parsed || parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("version"))
        || parser.isSet(options.once) || parser.isSet(options.autostart)) {
        QCoreApplication app(argc, argv);
        installTranslations(app);
        const Options translated;
        QCommandLineParser commandLine;
        describe(commandLine, translated);
        commandLine.process(arguments); // prints help, version or the error, and exits
        if (commandLine.isSet(translated.autostart))
            return switchAutostart(commandLine.value(translated.autostart));
        return runOnce();
    }

    if (!hasDisplay()) {
        QCoreApplication app(argc, argv);
        installTranslations(app);
        std::fprintf(stderr, "pelmora: %s\n",
                     qPrintable(QCoreApplication::translate(
                         "CommandLine",
                         "no display found (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
                         "Run it inside a desktop session, or use 'pelmora --once' to print the "
                         "figures here.")));
        return 2;
    }
    if (const WaylandPlugin plugin = checkWaylandPlugin(); plugin != WaylandPlugin::fine) {
        QCoreApplication app(argc, argv);
        installTranslations(app);
        const bool fallback = plugin == WaylandPlugin::missingXWaylandUsed;
        printError(fallback ? QCoreApplication::translate("CommandLine",
                                                          "Qt's Wayland plugin is missing (Debian: qt6-wayland); "
                                                          "running through XWayland instead.")
                            : QCoreApplication::translate("CommandLine",
                                                          "Qt's Wayland plugin is missing (Debian: qt6-wayland), "
                                                          "and there is no XWayland to fall back to."));
        if (!fallback)
            return 2;
    }
    // The look is fixed and light whatever the desktop's theme, so the
    // desktop's platform theme plugin has nothing to contribute; on GNOME and
    // Xfce it is Qt's GTK 3 plugin, which costs about 13 MB and 20 ms at start.
    QGuiApplication::setDesktopSettingsAware(false);

    QApplication app(argc, argv);
    installTranslations(app);
    app.setApplicationDisplayName(QStringLiteral("Pelmora"));
    // Lets the desktop match the windows to the installed entry and its icon.
    app.setDesktopFileName(QLatin1String(appId));
    app.setWindowIcon(QIcon::fromTheme(QLatin1String(appId)));
    applyLightAppearance(app);
    // A second start hands over to the first: one item per session.
    SingleInstance instance;
    if (instance.claim() == SingleInstance::Claim::second)
        if (const int status = instance.handOverToFirst(); status >= 0)
            return status;
    PelmoraApp pelmora(PelmoraApp::Options{parser.isSet(options.window)});
    QObject::connect(&instance, &SingleInstance::activationRequested, &pelmora, &PelmoraApp::openPanel);
    return app.exec();
}

} // namespace pelmora
