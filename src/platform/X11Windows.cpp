// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "X11Windows.h"

#include <xcb/res.h>
#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>
#include <xcb/xcb_icccm.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace pelmora::platform {
namespace {

// Frees an xcb reply when it goes out of scope.
struct FreeReply {
    void operator()(void *reply) const { std::free(reply); }
};
template<typename T> using Reply = std::unique_ptr<T, FreeReply>;

bool lists(const xcb_ewmh_get_atoms_reply_t &atoms, xcb_atom_t atom)
{
    return std::find(atoms.atoms, atoms.atoms + atoms.atoms_len, atom) != atoms.atoms + atoms.atoms_len;
}

} // namespace

struct X11Display::Private {
    xcb_connection_t *connection = nullptr;
    int screen = 0;
    xcb_ewmh_connection_t ewmh{};
    bool ewmhReady = false;
    xcb_atom_t deleteWindow = XCB_ATOM_NONE;
    std::uint32_t resourceMask = 0;

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
        return xcb_ewmh_get_supporting_wm_check_reply(&ewmh, xcb_ewmh_get_supporting_wm_check(&ewmh, check), &confirmed,
                                                      nullptr)
            && confirmed == check;
    }

    // The stacking list where the window manager keeps one, else the plain one.
    std::vector<xcb_window_t> clientWindows()
    {
        xcb_ewmh_get_windows_reply_t clients{};
        if (!xcb_ewmh_get_client_list_stacking_reply(&ewmh, xcb_ewmh_get_client_list_stacking(&ewmh, screen), &clients,
                                                     nullptr)
            && !xcb_ewmh_get_client_list_reply(&ewmh, xcb_ewmh_get_client_list(&ewmh, screen), &clients, nullptr))
            return {};
        std::vector<xcb_window_t> ids(clients.windows, clients.windows + clients.windows_len);
        xcb_ewmh_get_windows_reply_wipe(&clients);
        return ids;
    }

    // Every local client and its process, by the X-Resource extension.
    std::optional<std::vector<X11Client>> localClients()
    {
        const xcb_query_extension_reply_t *extension = xcb_get_extension_data(connection, &xcb_res_id);
        if (!extension || !extension->present)
            return std::nullopt;
        const Reply<xcb_res_query_version_reply_t> version{
            xcb_res_query_version_reply(connection, xcb_res_query_version(connection, 1, 2), nullptr)};
        if (!version || version->server_major < 1 || (version->server_major == 1 && version->server_minor < 2))
            return std::nullopt;
        // Client None: every client.
        const xcb_res_client_id_spec_t all{XCB_NONE, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
        const Reply<xcb_res_query_client_ids_reply_t> ids{
            xcb_res_query_client_ids_reply(connection, xcb_res_query_client_ids(connection, 1, &all), nullptr)};
        if (!ids)
            return std::nullopt;
        std::vector<X11Client> clients;
        for (xcb_res_client_id_value_iterator_t it = xcb_res_query_client_ids_ids_iterator(ids.get()); it.rem > 0;
             xcb_res_client_id_value_next(&it)) {
            // A client the server cannot place (remote, TCP) has no pid entry.
            if (!(it.data->spec.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID)
                || xcb_res_client_id_value_value_length(it.data) != 1)
                continue;
            const std::uint32_t pid = *xcb_res_client_id_value_value(it.data);
            if (pid > 0)
                clients.push_back({it.data->spec.client & ~resourceMask, pid});
        }
        return clients;
    }
};

X11Display::X11Display(std::unique_ptr<Private> p) : d(std::move(p))
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
    xcb_prefetch_extension_data(p->connection, &xcb_res_id);
    const xcb_intern_atom_cookie_t deleteCookie = xcb_intern_atom(p->connection, 0, std::strlen("WM_DELETE_WINDOW"),
                                                                  "WM_DELETE_WINDOW");
    xcb_intern_atom_cookie_t *cookies = xcb_ewmh_init_atoms(p->connection, &p->ewmh);
    p->ewmhReady = xcb_ewmh_init_atoms_replies(&p->ewmh, cookies, nullptr);
    if (Reply<xcb_intern_atom_reply_t> atom{xcb_intern_atom_reply(p->connection, deleteCookie, nullptr)})
        p->deleteWindow = atom->atom;
    if (!p->ewmhReady || p->deleteWindow == XCB_ATOM_NONE || p->screen < 0 || p->screen >= p->ewmh.nb_screens)
        return nullptr;
    // Every client's ids share the server's mask; the rest of an id is its client's base.
    p->resourceMask = xcb_get_setup(p->connection)->resource_id_mask;
    return std::unique_ptr<X11Display>(new X11Display(std::move(p)));
}

X11Desktop X11Display::readDesktop()
{
    X11Desktop desktop;
    desktop.clients = d->localClients();
    if (!d->windowManagerRuns())
        return desktop;
    xcb_ewmh_connection_t *ewmh = &d->ewmh;

    xcb_ewmh_get_atoms_reply_t supported{};
    if (xcb_ewmh_get_supported_reply(ewmh, xcb_ewmh_get_supported(ewmh, d->screen), &supported, nullptr)) {
        desktop.windowManagerClosesWindows = lists(supported, ewmh->_NET_CLOSE_WINDOW);
        desktop.windowManagerActivatesWindows = lists(supported, ewmh->_NET_ACTIVE_WINDOW);
        xcb_ewmh_get_atoms_reply_wipe(&supported);
    }

    const std::vector<xcb_window_t> ids = d->clientWindows();
    // Every request first, then every reply: one round trip for the lot.
    std::vector<xcb_get_property_cookie_t> cookies;
    cookies.reserve(ids.size());
    for (const xcb_window_t id : ids)
        cookies.push_back(xcb_icccm_get_wm_protocols(d->connection, id, ewmh->WM_PROTOCOLS));
    desktop.windows.reserve(ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i) {
        X11ClientWindow window;
        window.id = ids[i];
        window.client = ids[i] & ~d->resourceMask;
        xcb_icccm_get_wm_protocols_reply_t protocols{};
        if (xcb_icccm_get_wm_protocols_reply(d->connection, cookies[i], &protocols, nullptr)) {
            window.takesDeleteWindow = std::find(protocols.atoms, protocols.atoms + protocols.atoms_len,
                                                 d->deleteWindow)
                != protocols.atoms + protocols.atoms_len;
            xcb_icccm_get_wm_protocols_reply_wipe(&protocols);
        }
        desktop.windows.push_back(window);
    }
    return desktop;
}

int X11Display::socketDescriptor() const
{
    return xcb_get_file_descriptor(d->connection);
}

void X11Display::askWindowManagerToActivate(std::uint32_t window)
{
    // As a pager: first to the window's workspace (some window managers, such
    // as Openbox, only unminimise on activation), unless it shows on all.
    xcb_ewmh_connection_t *ewmh = &d->ewmh;
    const xcb_get_property_cookie_t desktopCookie = xcb_ewmh_get_wm_desktop(ewmh, window);
    const xcb_get_property_cookie_t currentCookie = xcb_ewmh_get_current_desktop(ewmh, d->screen);
    std::uint32_t desktop = 0, current = 0;
    const bool known = xcb_ewmh_get_wm_desktop_reply(ewmh, desktopCookie, &desktop, nullptr);
    if (xcb_ewmh_get_current_desktop_reply(ewmh, currentCookie, &current, nullptr) && known && desktop != current
        && desktop != 0xFFFFFFFF)
        xcb_ewmh_request_change_current_desktop(ewmh, d->screen, desktop, XCB_CURRENT_TIME);
    // Source 2: a direct action of the user through a tool like a pager, which
    // window managers honour without focus-stealing prevention.
    xcb_ewmh_request_change_active_window(ewmh, d->screen, window, XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER, XCB_CURRENT_TIME,
                                          XCB_WINDOW_NONE);
}

void X11Display::askWindowManagerToClose(std::uint32_t window)
{
    // Source 2, as above.
    xcb_ewmh_request_close_window(&d->ewmh, d->screen, window, XCB_CURRENT_TIME, XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER);
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

} // namespace pelmora::platform
