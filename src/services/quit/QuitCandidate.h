// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "models/AppMetric.h"
#include "platform/ProcFs.h"
#include "platform/ProcessSignal.h"
#include "services/registry/AppRegistry.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

// Which listed processes a quit may ask at all: the very process the user
// saw (same pid and start time), run by the user Pelmora runs for, owned by
// the application by what the process cannot choose itself (control group,
// real executable), and a top process of it (its children end with it).
namespace pelmora {

// What /proc says about a process when its application is asked to quit,
// read after the process was pinned by a pidfd.
struct ProcessNow {
    std::uint64_t startTime = 0; // stat field 22, read first; 0 when unreadable
    std::int32_t ppid = 0;
    std::optional<std::uint32_t> realUid;
    std::optional<QString> appId; // the strict registry's answer, lower-cased
    std::optional<QString> parentAppId; // the same for its parent (none for pid 1 and below)
    std::vector<QString> windowNames; // see QuitTarget
    std::uint64_t startTimeAfter = 0; // stat read again after all the rest
};

enum class Candidacy {
    ask,
    noProcess, // pid 0 or 1, or nothing readable now
    unknownStartTime, // the sample did not record when it started
    otherProcess, // the pid now names a later process
    otherUser, // its real user is not ours (or cannot be read)
    notInApplication, // the strict registry does not put it in the application
    childOfApplication, // its parent belongs to the application and ends it
};

Candidacy judgeCandidate(const ProcessMetric &seen, const QString &appId, const ProcessNow &now, std::uint32_t ownUid);

// The real uid from the text of /proc/PID/status; nothing when malformed.
std::optional<std::uint32_t> parseRealUid(std::string_view status);

ProcessNow readProcessNow(const platform::ProcRoot &root, const AppRegistry &registry, std::int32_t pid);

// A process a quit will ask, pinned: its pid cannot name anyone else while
// `handle` lives.
struct QuitTarget {
    std::int32_t pid = 0;
    platform::ProcessHandle handle;
    // What its windows may call themselves where the window system names no
    // process (a Wayland app_id): see windowNamesOf().
    std::vector<QString> windowNames;
};

// The names an application's windows go by: its desktop entry's id (without
// ".desktop") and StartupWMClass, and the file name of the process's real
// executable unless many applications run through it (an interpreter).
std::vector<QString> windowNamesOf(const IndexedApp *app, std::string_view exePath);

struct PinnedTargets {
    std::vector<QuitTarget> targets;
    bool othersOwnSome = false; // some listed process runs as another user
};

// The processes of `app` that a quit asks, each pinned before it was
// checked, in the application's order. `root` must be the live /proc for
// the pins to mean anything.
PinnedTargets pinQuitTargets(const AppMetric &app, const AppRegistry &registry, const platform::ProcRoot &root,
                             std::uint32_t ownUid);

} // namespace pelmora
