// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "FigureEmphasis.h"

#include "Theme.h"

namespace pelmora {

FigureEmphasis cpuFigureEmphasis(double cpuPercent, AppMetricKind emphasized, bool isProcess)
{
    if (isProcess || emphasized != AppMetricKind::cpu)
        return {false, FigureTint::secondary};
    if (cpuPercent >= 20.0)
        return {true, FigureTint::red};
    if (cpuPercent >= 5.0)
        return {true, FigureTint::orange};
    return {true, FigureTint::blue};
}

FigureEmphasis memoryFigureEmphasis(quint64 memoryBytes, AppMetricKind emphasized, bool isProcess)
{
    if (isProcess)
        return {false, FigureTint::secondary};
    const bool isMemoryList = emphasized == AppMetricKind::memory;
    const bool isSemibold = memoryBytes > gibibyte || isMemoryList;
    if (memoryBytes > 4 * gibibyte)
        return {isSemibold, FigureTint::red};
    if (memoryBytes > gibibyte)
        return {isSemibold, FigureTint::orange};
    return {isSemibold, isMemoryList ? FigureTint::primary : FigureTint::secondary};
}

QColor figureColour(FigureTint tint)
{
    switch (tint) {
    case FigureTint::secondary:
        return Theme::secondaryLabel();
    case FigureTint::primary:
        return Theme::primaryLabel();
    case FigureTint::blue:
        return Theme::systemBlue();
    case FigureTint::orange:
        return Theme::systemOrange();
    case FigureTint::red:
        return Theme::systemRed();
    }
    return Theme::secondaryLabel();
}

} // namespace pelmora
