// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <QStringView>

#include <optional>

namespace pelmora {

// The name of the outermost application bundle on a command path: the first
// component, from the root, ending in ".app" (case-sensitive), without that
// suffix. Nothing when there is none, or when that component is ".app" alone.
std::optional<QString> appNameFromPath(QStringView commandPath);

// The last component of a path, ignoring trailing slashes ("/" stays "/").
QString lastPathComponent(QStringView path);

} // namespace pelmora
