// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QMetaType>
#include <QString>

namespace pelmora {

// What came of asking an application to quit, once every request is on its
// way: the panel makes room for the application's own answer, or says why
// nothing could be asked and whether ending it is left.
struct QuitOutcome {
    enum class Kind {
        asked, // a request went out: the application answers in its own way
        gone, // none of its processes is left to ask
        noRoute, // nothing could be asked (see reason)
    };
    // Why nothing could be asked, first match wins when processes differ.
    enum class Reason {
        none,
        otherUsers, // its processes belong to other users only
        windowSystemSilent, // the window system lets no one ask its windows (a compositor, a foreign server)
        forceOnly, // its windows would only be killed by a close
        unseenWindows, // it talks to a display server, but no window of it can be proven
    };

    QString appId; // AppMetric::id
    QString appName; // AppMetric::name
    Kind kind = Kind::gone;
    Reason reason = Reason::none;
    // Own processes of it remain that ending would reach.
    bool canEnd = false;

    friend bool operator==(const QuitOutcome &, const QuitOutcome &) = default;
};

} // namespace pelmora

Q_DECLARE_METATYPE(pelmora::QuitOutcome)
