// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArrayView>

namespace pelmora {

// Writes `data` to `fd`, going on after short writes and interruptions, and
// returns how much was written: all of it, or less when the file takes no
// more (a full disk, a size limit) or a write fails.
qsizetype writeWhole(int fd, QByteArrayView data);

} // namespace pelmora
