// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "NumberFormatter.h"

#include <QString>
#include <QtGlobal>

// The only way figures become text. The four shared formatters follow the
// user's locale (QLocale()), are built on first use and live for the process.
namespace pelmora {

const NumberFormatter &percentFormatter(); // 0 fraction digits
const NumberFormatter &fractionalPercentFormatter(); // exactly 1 fraction digit
const NumberFormatter &megabyteFormatter(); // 0 fraction digits
const NumberFormatter &gigabyteFormatter(); // exactly 1 fraction digit

// "12%"; used by the summary tiles.
QString formattedPercent(double value);

// "0.5%" strictly between 0 and 1, otherwise "12%"; used by rows.
QString formattedProcessCPU(double value);

// "2 MB" below 2^30 bytes, "1.5 GB" from there on (binary units).
QString formattedBytes(quint64 bytes);

} // namespace pelmora
