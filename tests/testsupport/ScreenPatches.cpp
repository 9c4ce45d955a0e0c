// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ScreenPatches.h"

#include <algorithm>
#include <vector>

namespace pelmora {

QList<QRect> findPatches(const QImage &shot, const QRect &area, QRgb colour, int tolerance)
{
    const QRect within = area.intersected(shot.rect());
    const auto matches = [&](int x, int y) {
        const QRgb p = shot.pixel(x, y);
        return std::abs(qRed(p) - qRed(colour)) <= tolerance && std::abs(qGreen(p) - qGreen(colour)) <= tolerance
            && std::abs(qBlue(p) - qBlue(colour)) <= tolerance;
    };
    // Flood fill over 4-neighbours; `seen` marks pixels already in a patch.
    QList<QPair<int, QRect>> patches; // pixel count, bounding box
    std::vector<bool> seen(size_t(std::max(0, within.width())) * size_t(std::max(0, within.height())), false);
    const auto index = [&](int x, int y) {
        return size_t(y - within.top()) * size_t(within.width()) + size_t(x - within.left());
    };
    for (int y = within.top(); y <= within.bottom(); ++y)
        for (int x = within.left(); x <= within.right(); ++x) {
            if (seen[index(x, y)] || !matches(x, y))
                continue;
            int count = 0;
            QRect box;
            QList<QPoint> pending{{x, y}};
            seen[index(x, y)] = true;
            while (!pending.isEmpty()) {
                const QPoint p = pending.takeLast();
                ++count;
                box |= QRect(p, QSize(1, 1));
                for (const QPoint step : {QPoint(1, 0), QPoint(-1, 0), QPoint(0, 1), QPoint(0, -1)}) {
                    const QPoint n = p + step;
                    if (within.contains(n) && !seen[index(n.x(), n.y())] && matches(n.x(), n.y())) {
                        seen[index(n.x(), n.y())] = true;
                        pending.append(n);
                    }
                }
            }
            patches.append({count, box});
        }
    std::sort(patches.begin(), patches.end(), [](const auto &a, const auto &b) { return a.first > b.first; });
    QList<QRect> boxes;
    for (const auto &patch : patches)
        boxes.append(patch.second);
    return boxes;
}

QList<QRect> findSquares(const QImage &shot, const QRect &area, const QList<QRgb> &colours, int minSide, int maxSide)
{
    QList<QRect> found;
    for (const QRgb colour : colours)
        for (const QRect &box : findPatches(shot, area, colour, 6))
            if (box.width() >= minSide && box.height() >= minSide && box.width() <= maxSide && box.height() <= maxSide
                && std::abs(box.width() - box.height()) <= box.height() / 4 && !found.contains(box))
                found << box;
    const QList<QRect> all = found;
    found.removeIf([&](const QRect &box) {
        return std::any_of(all.begin(), all.end(),
                           [&](const QRect &other) { return other != box && box.contains(other); });
    });
    return found;
}

int changedPixels(const QImage &a, const QImage &b, const QRect &area, int threshold)
{
    const QRect within = area.intersected(a.rect()).intersected(b.rect());
    int changed = 0;
    for (int y = within.top(); y <= within.bottom(); ++y)
        for (int x = within.left(); x <= within.right(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            changed += std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                 std::abs(qBlue(p) - qBlue(q))})
                > threshold;
        }
    return changed;
}

} // namespace pelmora
