// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QtGlobal>

namespace pelmora {

// Whether a signal that ends it was sent to `pid`: it is gone or a zombie, or
// SIGTERM or SIGKILL is pending. Exact at once, without waiting: a signal is
// queued before its sender goes on.
bool wasSignalledToEnd(qint64 pid);

} // namespace pelmora
