// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "AppRegistry.h"

#include "UnitName.h"

#include <string_view>

namespace pelmora {
namespace {

QString fileName(std::string_view path)
{
    const std::size_t slash = path.rfind('/');
    if (slash != std::string_view::npos)
        path.remove_prefix(slash + 1);
    return QString::fromUtf8(path.data(), qsizetype(path.size()));
}

} // namespace

AppRegistry::AppRegistry(RegistryPaths paths) : m_paths(std::move(paths)), m_index(m_paths)
{
}

std::optional<QString> AppRegistry::applicationName(const ProcessFacts &facts) const
{
    const IndexedApp *app = lookUp(facts, true);
    return app ? std::optional(app->name) : std::nullopt;
}

std::optional<QString> AppRegistry::strictApplicationName(const ProcessFacts &facts) const
{
    const IndexedApp *app = strictApplication(facts);
    return app ? std::optional(app->name) : std::nullopt;
}

const IndexedApp *AppRegistry::strictApplication(const ProcessFacts &facts) const
{
    return lookUp(facts, false);
}

const IndexedApp *AppRegistry::lookUp(const ProcessFacts &facts, bool trustArgv0) const
{
    // A unit whose desktop file is not installed (or is hidden) says nothing;
    // the program's name may still find the application.
    for (const QString &desktopId : desktopIdsFromCgroup(facts.cgroup)) {
        if (const IndexedApp *app = m_index.findByDesktopId(desktopId))
            return app;
    }

    // Some programs (Chromium and its kin) rewrite their command line into one
    // space-separated string, so argv[0] up to the first space is tried too.
    const std::string_view argv0 = trustArgv0 ? std::string_view(facts.argv0) : std::string_view();
    const std::string_view programs[] = {facts.exePath, argv0, argv0.substr(0, argv0.find(' '))};
    for (const std::string_view program : programs) {
        if (program.empty())
            continue;
        if (const IndexedApp *app = m_index.findByProgram(fileName(program)))
            return app;
    }
    return nullptr;
}

void AppRegistry::refreshIfChanged()
{
    if (!m_index.changedSinceBuild())
        return;
    m_index = DesktopIndex(m_paths);
    ++m_generation;
}

} // namespace pelmora
