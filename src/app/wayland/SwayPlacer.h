// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "app/PanelPlacer.h"

#include <QPoint>
#include <QString>

#include <memory>
#include <optional>

namespace pelmora {

// Sway without a layer shell for Qt: the panel is an ordinary window that
// sway floats (it has a fixed size), and sway's own IPC moves it. A rule
// (for_window) applies the place as sway maps the window, so it is never
// seen elsewhere first; a new rule is added only when the place changes,
// and a later rule wins. The free area is the focused workspace's.
class SwayPlacer : public PanelPlacer {
public:
    // Nothing when `socketPath` does not answer as sway.
    static std::unique_ptr<SwayPlacer> create(const QString &socketPath);

    Mechanism mechanism() const override { return Mechanism::swayIpc; }
    QRect freeArea(const QScreen &screen) const override;
    void prepare(QWidget &window, const QRect &geometry, const ItemAnchor &anchor) override;
    void move(QWidget &window, const QRect &geometry, const ItemAnchor &anchor) override;

private:
    explicit SwayPlacer(QString socketPath) : m_socket(std::move(socketPath)) { }
    bool run(const QString &commands) const;
    QString criteriaFor(const QWidget &window) const;

    QString m_socket;
    std::optional<QPoint> m_ruled; // the place the last rule gives
    QString m_ruledTitle;
};

} // namespace pelmora
