// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "X11Windows.h"

#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>
#include <xcb/xcb_icccm.h>

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace pelmora::platform {
namespace {

// Frees an xcb reply when it goes out of scope.
struct FreeReply {
    void operator()(void *reply) const { std::free(reply); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeReply>;

} // namespace

struct X11Display::Private {
    xcb_connection_t *connection = nullptr;
    int screen = 0;
    xcb_ewmh_connection_t ewmh{};
    bool ewmhReady = false;
    xcb_atom_t deleteWindow = XCB_ATOM_NONE;

    ~Private()
    {
        if (ewmhReady)
            xcb_ewmh_connection_wipe(&ewmh);
        if (connection)
            xcb_disconnect(connection);
    }

    xcb_window_t root() const { return ewmh.screens[screen]->root; }

    // The window manager's check window, when one runs: root and the check
    // window itself both name it.
    bool windowManagerRuns()
    {
        xcb_window_t check = XCB_WINDOW_NONE, confirmed = XCB_WINDOW_NONE;
        if (!xcb_ewmh_get_supporting_wm_check_reply(&ewmh, xcb_ewmh_get_supporting_wm_check(&ewmh, root()), &check,
                                                    nullptr)
            || check == XCB_WINDOW_NONE)
            return false;
        return xcb_ewmh_get_supporting_wm_check_reply(&ewmh, xcb_ewmh_get_supporting_wm_check(&ewmh, check),
                                                      &confirmed, nullptr)
            && confirmed == check;
    }
};

X11Display::X11Display(std::unique_ptr<Private> p)
    : d(std::move(p))
{
}

X11Display::~X11Display() = default;

std::unique_ptr<X11Display> X11Display::open()
{
    const char *display = std::getenv("DISPLAY");
    if (!display || !*display)
        return nullptr;
    auto p = std::make_unique<Private>();
    p->connection = xcb_connect(display, &p->screen);
    if (xcb_connection_has_error(p->connection))
        return nullptr; // ~Private disconnects: xcb wants that even for a failed connection
    const xcb_intern_atom_cookie_t deleteCookie =
        xcb_intern_atom(p->connection, 0, std::strlen("WM_DELETE_WINDOW"), "WM_DELETE_WINDOW");
    xcb_intern_atom_cookie_t *cookies = xcb_ewmh_init_atoms(p->connection, &p->ewmh);
    p->ewmhReady = xcb_ewmh_init_atoms_replies(&p->ewmh, cookies, nullptr);
    if (Reply<xcb_intern_atom_reply_t> atom{xcb_intern_atom_reply(p->connection, deleteCookie, nullptr)})
        p->deleteWindow = atom->atom;
    if (!p->ewmhReady || p->deleteWindow == XCB_ATOM_NONE || p->screen < 0 || p->screen >= p->ewmh.nb_screens)
        return nullptr;
    return std::unique_ptr<X11Display>(new X11Display(std::move(p)));
}

X11Desktop X11Display::readDesktop()
{
    X11Desktop desktop;
    if (!d->windowManagerRuns())
        return desktop;
    xcb_ewmh_connection_t *ewmh = &d->ewmh;

    xcb_ewmh_get_atoms_reply_t supported{};
    if (xcb_ewmh_get_supported_reply(ewmh, xcb_ewmh_get_supported(ewmh, d->screen), &supported, nullptr)) {
        desktop.windowManagerClosesWindows = std::find(supported.atoms, supported.atoms + supported.atoms_len,
                                                       ewmh->_NET_CLOSE_WINDOW)
            != supported.atoms + supported.atoms_len;
        xcb_ewmh_get_atoms_reply_wipe(&supported);
    }

    xcb_ewmh_get_windows_reply_t clients{};
    if (!xcb_ewmh_get_client_list_reply(ewmh, xcb_ewmh_get_client_list(ewmh, d->screen), &clients, nullptr))
        return desktop;
    const std::vector<xcb_window_t> ids(clients.windows, clients.windows + clients.windows_len);
    xcb_ewmh_get_windows_reply_wipe(&clients);

    // Every request first, then every reply: one round trip for the lot.
    struct Cookies {
        xcb_get_property_cookie_t pid, machine, protocols;
    };
    std::vector<Cookies> cookies;
    cookies.reserve(ids.size());
    for (const xcb_window_t id : ids)
        cookies.push_back({xcb_ewmh_get_wm_pid(ewmh, id), xcb_icccm_get_wm_client_machine(d->connection, id),
                           xcb_icccm_get_wm_protocols(d->connection, id, ewmh->WM_PROTOCOLS)});
    desktop.windows.reserve(ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i) {
        X11ClientWindow window;
        window.id = ids[i];
        if (!xcb_ewmh_get_wm_pid_reply(ewmh, cookies[i].pid, &window.pid, nullptr))
            window.pid = 0;
        xcb_icccm_get_text_property_reply_t machine{};
        if (xcb_icccm_get_wm_client_machine_reply(d->connection, cookies[i].machine, &machine, nullptr)) {
            // An 8-bit STRING is all a host name can be; other encodings do not match it.
            if (machine.format == 8 && machine.encoding == XCB_ATOM_STRING)
                window.clientMachine.assign(machine.name, machine.name_len);
            xcb_icccm_get_text_property_reply_wipe(&machine);
        }
        xcb_icccm_get_wm_protocols_reply_t protocols{};
        if (xcb_icccm_get_wm_protocols_reply(d->connection, cookies[i].protocols, &protocols, nullptr)) {
            window.takesDeleteWindow = std::find(protocols.atoms, protocols.atoms + protocols.atoms_len,
                                                 d->deleteWindow)
                != protocols.atoms + protocols.atoms_len;
            xcb_icccm_get_wm_protocols_reply_wipe(&protocols);
        }
        desktop.windows.push_back(std::move(window));
    }
    return desktop;
}

void X11Display::askWindowManagerToClose(std::uint32_t window)
{
    // Source 2: a direct action of the user through a tool like a pager.
    xcb_ewmh_request_close_window(&d->ewmh, d->screen, window, XCB_CURRENT_TIME,
                                  XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER);
}

void X11Display::sendDeleteWindow(std::uint32_t window)
{
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = d->ewmh.WM_PROTOCOLS;
    event.data.data32[0] = d->deleteWindow;
    event.data.data32[1] = XCB_CURRENT_TIME;
    // No event mask: delivered to the client that created the window.
    xcb_send_event(d->connection, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&event));
}

void X11Display::sync()
{
    Reply<xcb_get_input_focus_reply_t>(
        xcb_get_input_focus_reply(d->connection, xcb_get_input_focus(d->connection), nullptr));
}

std::string localClientMachine()
{
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return {};
    return name;
}

} // namespace pelmora::platform
