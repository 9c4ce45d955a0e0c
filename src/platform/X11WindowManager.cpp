// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "X11WindowManager.h"

#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

#include <cstdlib>

namespace pelmora::platform {

std::string x11WindowManagerName()
{
    const char *display = std::getenv("DISPLAY");
    if (!display || !*display)
        return {};
    int screen = 0;
    xcb_connection_t *connection = xcb_connect(display, &screen);
    std::string name;
    xcb_ewmh_connection_t ewmh{};
    if (!xcb_connection_has_error(connection)
        && xcb_ewmh_init_atoms_replies(&ewmh, xcb_ewmh_init_atoms(connection, &ewmh), nullptr)) {
        const xcb_window_t root = ewmh.screens[screen]->root;
        xcb_window_t check = XCB_WINDOW_NONE, confirmed = XCB_WINDOW_NONE;
        // A check window that names itself belongs to a running window manager.
        if (xcb_ewmh_get_supporting_wm_check_reply(&ewmh, xcb_ewmh_get_supporting_wm_check(&ewmh, root), &check,
                                                   nullptr)
            && check != XCB_WINDOW_NONE
            && xcb_ewmh_get_supporting_wm_check_reply(&ewmh, xcb_ewmh_get_supporting_wm_check(&ewmh, check), &confirmed,
                                                      nullptr)
            && confirmed == check) {
            xcb_ewmh_get_utf8_strings_reply_t reply{};
            if (xcb_ewmh_get_wm_name_reply(&ewmh, xcb_ewmh_get_wm_name(&ewmh, check), &reply, nullptr)) {
                name.assign(reply.strings, reply.strings_len);
                xcb_ewmh_get_utf8_strings_reply_wipe(&reply);
            }
        }
        xcb_ewmh_connection_wipe(&ewmh);
    }
    xcb_disconnect(connection);
    return name;
}

} // namespace pelmora::platform
