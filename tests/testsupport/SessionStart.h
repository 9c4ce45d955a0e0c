// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

namespace pelmora {

// How starting a throw-away desktop went. unavailable: a required program is
// missing or cannot run here (the test skips); failed: it misbehaved.
enum class SessionStart { ready, unavailable, failed };

} // namespace pelmora

// Starts `session` in a test function: skips when it cannot run here, fails when it misbehaves.
#define START_SESSION_OR_SKIP(session)                                                                                 \
    do {                                                                                                               \
        const auto started_ = (session).start();                                                                       \
        if (started_ == pelmora::SessionStart::unavailable)                                                            \
            QSKIP(qPrintable((session).errorString()));                                                                \
        QVERIFY2(started_ == pelmora::SessionStart::ready, qPrintable((session).errorString()));                       \
    } while (false)
