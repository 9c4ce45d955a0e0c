// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "QuitWindows.h"

#include "X11QuitWindows.h"

namespace pelmora {

std::unique_ptr<QuitWindows> openQuitWindows(const platform::ProcRoot &root, SocketSurvey &sockets)
{
    // Pelmora reaches an X server (XWayland too) whenever $DISPLAY names one.
    return X11QuitWindows::open(root, sockets);
}

} // namespace pelmora
