// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

namespace pelmora {

// `text` as a unit of its own direction inside other text (between U+2068
// FIRST STRONG ISOLATE and U+2069 POP DIRECTIONAL ISOLATE): a name holding a
// right-to-left override, or simply written right to left, cannot reorder
// the words around it. Isolate terminators in the name that have nothing of
// the name's own to close are dropped, so the name cannot end the isolate
// early.
QString isolated(const QString &text);

} // namespace pelmora
