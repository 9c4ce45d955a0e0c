// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "CardPainter.h"

#include "Theme.h"

#include <QCache>
#include <QImage>
#include <QPaintDevice>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <vector>

namespace pelmora {
namespace {

// Corner outline of a continuous rounded rectangle, in units of the radius,
// as (distance along the incoming edge, distance along the outgoing edge).
constexpr qreal reach = 1.52866483;

struct CornerFrame {
    QPointF corner;
    QPointF incoming; // unit vector from the corner back along the previous edge
    QPointF outgoing; // unit vector from the corner along the next edge
};

QPointF at(const CornerFrame &f, qreal r, qreal a, qreal b)
{
    return f.corner + f.incoming * (a * r) + f.outgoing * (b * r);
}

void addCorner(QPainterPath &path, const CornerFrame &f, qreal r)
{
    path.lineTo(at(f, r, reach, 0));
    path.cubicTo(at(f, r, 1.08849323, 0), at(f, r, 0.86840689, 0), at(f, r, 0.66993427, 0.06549600));
    path.lineTo(at(f, r, 0.63149399, 0.07491100));
    path.cubicTo(at(f, r, 0.37282392, 0.16905899), at(f, r, 0.16905899, 0.37282392), at(f, r, 0.07491100, 0.63149399));
    path.lineTo(at(f, r, 0.06549600, 0.66993427));
    path.cubicTo(at(f, r, 0, 0.86840689), at(f, r, 0, 1.08849323), at(f, r, 0, reach));
}

struct ShadowKey {
    int width; // device pixels of the shape
    int height;
    int radius; // 1/16 device pixel
    int blur; // 1/16 device pixel
    QRgb colour;

    friend bool operator==(const ShadowKey &, const ShadowKey &) = default;
};

size_t qHash(const ShadowKey &k, size_t seed = 0) noexcept
{
    return qHashMulti(seed, k.width, k.height, k.radius, k.blur, k.colour);
}

// Three box blurs in a row approximate a Gaussian of the given sigma.
void boxBlurAlpha(QImage &alpha, qreal sigma)
{
    if (sigma <= 0)
        return;
    const qreal ideal = std::sqrt(12.0 * sigma * sigma / 3.0 + 1.0);
    const int radius = std::max(1, int(std::lround((ideal - 1.0) / 2.0)));
    const int w = alpha.width();
    const int h = alpha.height();
    std::vector<int> line(size_t(std::max(w, h)));
    auto pass = [&](uchar *first, int count, int stride) {
        for (int i = 0; i < count; ++i)
            line[size_t(i)] = first[i * stride];
        const int window = 2 * radius + 1;
        int sum = 0;
        for (int i = -radius; i <= radius; ++i)
            sum += (i >= 0 && i < count) ? line[size_t(i)] : 0;
        for (int i = 0; i < count; ++i) {
            first[i * stride] = uchar((sum + window / 2) / window);
            const int out = i - radius;
            const int in = i + radius + 1;
            sum += (in < count ? line[size_t(in)] : 0) - (out >= 0 ? line[size_t(out)] : 0);
        }
    };
    for (int round = 0; round < 3; ++round) {
        for (int y = 0; y < h; ++y)
            pass(alpha.scanLine(y), w, 1);
        for (int x = 0; x < w; ++x)
            pass(alpha.bits() + x, h, int(alpha.bytesPerLine()));
    }
}

QCache<ShadowKey, QImage> &shadowCache()
{
    // Cost is in kibibytes: about 8 MiB of shadows at most.
    static QCache<ShadowKey, QImage> cache(8 * 1024);
    return cache;
}

// The shape in `colour`, blurred, with `padding` device pixels on every side.
QImage blurredShadow(const ShadowKey &key, int padding)
{
    QImage alpha(key.width + 2 * padding, key.height + 2 * padding, QImage::Format_Alpha8);
    alpha.fill(0);
    {
        QPainter p(&alpha);
        p.setRenderHint(QPainter::Antialiasing);
        p.fillPath(continuousRoundedRect(QRectF(padding, padding, key.width, key.height), key.radius / 16.0),
                   QColor(0, 0, 0, 255));
    }
    boxBlurAlpha(alpha, key.blur / 16.0 / 2.0);

    QImage out(alpha.size(), QImage::Format_ARGB32_Premultiplied);
    const QColor c = QColor::fromRgba(key.colour);
    for (int y = 0; y < alpha.height(); ++y) {
        const uchar *a = alpha.constScanLine(y);
        auto *dst = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < alpha.width(); ++x) {
            const int alphaOut = a[x] * c.alpha() / 255;
            dst[x] = qPremultiply(qRgba(c.red(), c.green(), c.blue(), alphaOut));
        }
    }
    return out;
}

void paintShadow(QPainter &painter, const QRectF &rect, const CardStyle &style)
{
    const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const ShadowKey key{int(std::lround(rect.width() * dpr)), int(std::lround(rect.height() * dpr)),
                        int(std::lround(style.radius * dpr * 16)), int(std::lround(style.shadowBlur * dpr * 16)),
                        style.shadowColour.rgba()};
    if (key.width <= 0 || key.height <= 0)
        return;
    const int padding = int(std::ceil(style.shadowBlur * 1.5 * dpr)) + 1;
    QCache<ShadowKey, QImage> &cache = shadowCache();
    QImage *image = cache.object(key);
    if (!image) {
        auto *made = new QImage(blurredShadow(key, padding));
        const qsizetype cost = std::max<qsizetype>(1, made->sizeInBytes() / 1024);
        if (!cache.insert(key, made, cost))
            return;
        image = cache.object(key);
        if (!image)
            return;
    }
    const qreal pad = padding / dpr;
    const QRectF target = rect.translated(style.shadowOffset).adjusted(-pad, -pad, pad, pad);
    painter.drawImage(target, *image);
}

} // namespace

QPainterPath continuousRoundedRect(const QRectF &rect, qreal radius)
{
    QPainterPath path;
    if (rect.isEmpty())
        return path;
    const qreal r = std::clamp(radius, 0.0, std::min(rect.width(), rect.height()) / 2.0 / reach);
    if (r <= 0) {
        path.addRect(rect);
        return path;
    }
    const CornerFrame topRight{rect.topRight(), {-1, 0}, {0, 1}};
    const CornerFrame bottomRight{rect.bottomRight(), {0, -1}, {-1, 0}};
    const CornerFrame bottomLeft{rect.bottomLeft(), {1, 0}, {0, -1}};
    const CornerFrame topLeft{rect.topLeft(), {0, 1}, {1, 0}};
    path.moveTo(at(topLeft, r, 0, reach));
    addCorner(path, topRight, r);
    addCorner(path, bottomRight, r);
    addCorner(path, bottomLeft, r);
    addCorner(path, topLeft, r);
    path.closeSubpath();
    return path;
}

QMarginsF shadowReach(const CardStyle &style)
{
    if (style.shadowColour.alpha() == 0 || style.shadowBlur <= 0)
        return {};
    const qreal spread = style.shadowBlur * 1.5;
    return QMarginsF(std::max(0.0, spread - style.shadowOffset.x()), std::max(0.0, spread - style.shadowOffset.y()),
                     std::max(0.0, spread + style.shadowOffset.x()), std::max(0.0, spread + style.shadowOffset.y()));
}

void paintCard(QPainter &painter, const QRectF &rect, const CardStyle &style)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    paintCardShadow(painter, rect, style);
    painter.fillPath(continuousRoundedRect(rect, style.radius), style.fill);
    if (style.stroke.alpha() > 0) {
        painter.setPen(QPen(style.stroke, 1.0));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(continuousRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), std::max(0.0, style.radius - 0.5)));
    }
    painter.restore();
}

void paintCardShadow(QPainter &painter, const QRectF &rect, const CardStyle &style)
{
    if (style.shadowColour.alpha() == 0 || style.shadowBlur <= 0 || style.fill.alpha() == 0)
        return;
    // The shadow is cast by the filled shape, so a translucent fill casts a
    // proportionally fainter one.
    CardStyle cast = style;
    cast.shadowColour = Theme::withOpacity(style.shadowColour, style.fill.alphaF());
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    paintShadow(painter, rect, cast);
    painter.restore();
}

int cachedShadowCount()
{
    return int(shadowCache().count());
}

} // namespace pelmora
