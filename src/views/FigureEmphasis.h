// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "models/AppMetricKind.h"

#include <QColor>
#include <QtGlobal>

// How a row's CPU and memory figures stand out: a pure rule of the figure,
// the list's sort column and whether the line is a process line.
namespace pelmora {

enum class FigureTint { secondary, primary, blue, orange, red };

struct FigureEmphasis {
    bool isSemibold = false;
    FigureTint tint = FigureTint::secondary;

    friend bool operator==(const FigureEmphasis &, const FigureEmphasis &) = default;
};

inline constexpr quint64 gibibyte = quint64(1) << 30;

// Coloured only in the CPU-sorted list: red from 20, orange from 5, blue below.
FigureEmphasis cpuFigureEmphasis(double cpuPercent, AppMetricKind emphasized, bool isProcess);

// Large figures stand out in every list: above 4 GiB red, above 1 GiB orange
// and semibold; the memory-sorted list shows the rest primary and semibold.
FigureEmphasis memoryFigureEmphasis(quint64 memoryBytes, AppMetricKind emphasized, bool isProcess);

QColor figureColour(FigureTint tint);

} // namespace pelmora
