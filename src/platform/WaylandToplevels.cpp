// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "WaylandToplevels.h"

#include "plasma-window-management-client-protocol.h"
#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <poll.h>

namespace pelmora::platform {
namespace {

// A compositor that does not answer within this is taken to have nothing to say.
constexpr std::chrono::milliseconds answerTimeout{1000};
// Enough for app_id, activate and close; a newer compositor speaks this one too.
constexpr std::uint32_t wlrVersion = 3;
// The first version has windows with pid, state and close. KWin sends some
// later events all the same: every event has a listener.
constexpr std::uint32_t plasmaVersion = 1;

struct Handle {
    wl_proxy *proxy = nullptr; // a foreign-toplevel handle, or a plasma window
    bool plasma = false;
    std::string appId;
    std::uint32_t pid = 0;
    bool closeable = true;
    bool closed = false;
};

Handle &handleOf(void *data)
{
    return *static_cast<Handle *>(data);
}

template<typename Proxy> void ignoreString(void *, Proxy *, const char *)
{
}
void ignoreOutput(void *, zwlr_foreign_toplevel_handle_v1 *, wl_output *)
{
}
void ignoreArray(void *, zwlr_foreign_toplevel_handle_v1 *, wl_array *)
{
}
void ignoreDone(void *, zwlr_foreign_toplevel_handle_v1 *)
{
}
void ignoreParent(void *, zwlr_foreign_toplevel_handle_v1 *, zwlr_foreign_toplevel_handle_v1 *)
{
}
void ignoreNumber(void *, org_kde_plasma_window *, std::int32_t)
{
}
void ignoreEvent(void *, org_kde_plasma_window *)
{
}
void ignoreWindow(void *, org_kde_plasma_window *, org_kde_plasma_window *)
{
}
void ignoreGeometry(void *, org_kde_plasma_window *, std::int32_t, std::int32_t, std::uint32_t, std::uint32_t)
{
}
void ignoreMenu(void *, org_kde_plasma_window *, const char *, const char *)
{
}

const zwlr_foreign_toplevel_handle_v1_listener wlrHandleListener = {
    .title = ignoreString<zwlr_foreign_toplevel_handle_v1>,
    .app_id = [](void *data, zwlr_foreign_toplevel_handle_v1 *,
                 const char *appId) { handleOf(data).appId = appId ? appId : ""; },
    .output_enter = ignoreOutput,
    .output_leave = ignoreOutput,
    .state = ignoreArray,
    .done = ignoreDone,
    .closed = [](void *data, zwlr_foreign_toplevel_handle_v1 *) { handleOf(data).closed = true; },
    .parent = ignoreParent,
};

const org_kde_plasma_window_listener plasmaWindowListener = {
    .title_changed = ignoreString<org_kde_plasma_window>,
    .app_id_changed = [](void *data, org_kde_plasma_window *,
                         const char *appId) { handleOf(data).appId = appId ? appId : ""; },
    .state_changed =
        [](void *data, org_kde_plasma_window *, std::uint32_t flags) {
            handleOf(data).closeable = flags & ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_CLOSEABLE;
        },
    .virtual_desktop_changed = ignoreNumber,
    .themed_icon_name_changed = ignoreString<org_kde_plasma_window>,
    .unmapped = [](void *data, org_kde_plasma_window *) { handleOf(data).closed = true; },
    .initial_state = ignoreEvent,
    .parent_window = ignoreWindow,
    .geometry = ignoreGeometry,
    .icon_changed = ignoreEvent,
    .pid_changed = [](void *data, org_kde_plasma_window *, std::uint32_t pid) { handleOf(data).pid = pid; },
    .virtual_desktop_entered = ignoreString<org_kde_plasma_window>,
    .virtual_desktop_left = ignoreString<org_kde_plasma_window>,
    .application_menu = ignoreMenu,
    .activity_entered = ignoreString<org_kde_plasma_window>,
    .activity_left = ignoreString<org_kde_plasma_window>,
    .resource_name_changed = ignoreString<org_kde_plasma_window>,
#ifdef ORG_KDE_PLASMA_WINDOW_CLIENT_GEOMETRY_SINCE_VERSION // newer protocol files (Debian 13)
    .client_geometry = ignoreGeometry,
#endif
};

} // namespace

struct WaylandToplevels::Connection {
    wl_display *display = nullptr;
    wl_registry *registry = nullptr;
    zwlr_foreign_toplevel_manager_v1 *wlrManager = nullptr;
    org_kde_plasma_window_management *plasmaManager = nullptr;
    wl_seat *seat = nullptr;
    std::vector<std::unique_ptr<Handle>> handles; // id - 1 is the index

    ~Connection()
    {
        // Our objects only, never a request: the connection ends next.
        for (const auto &handle : handles)
            wl_proxy_destroy(handle->proxy);
        for (void *proxy : {static_cast<void *>(wlrManager), static_cast<void *>(plasmaManager),
                            static_cast<void *>(seat), static_cast<void *>(registry)})
            if (proxy)
                wl_proxy_destroy(static_cast<wl_proxy *>(proxy));
        if (display)
            wl_display_disconnect(display);
    }

    Handle *handle(std::uint32_t id) const
    {
        return id > 0 && id <= handles.size() && !handles[id - 1]->closed ? handles[id - 1].get() : nullptr;
    }

    Handle *add(void *proxy, bool plasma)
    {
        handles.push_back(std::make_unique<Handle>());
        handles.back()->proxy = static_cast<wl_proxy *>(proxy);
        handles.back()->plasma = plasma;
        return handles.back().get();
    }

    // Waits for the compositor to answer everything sent so far, handling
    // what it says meanwhile, but no longer than `timeout`.
    bool roundtrip(std::chrono::milliseconds timeout)
    {
        bool answered = false;
        static const wl_callback_listener syncListener = {
            .done = [](void *data, wl_callback *, std::uint32_t) { *static_cast<bool *>(data) = true; },
        };
        wl_callback *sync = wl_display_sync(display);
        if (!sync)
            return false;
        wl_callback_add_listener(sync, &syncListener, &answered);
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        bool ok = true;
        while (ok && !answered) {
            if (wl_display_prepare_read(display) != 0) {
                ok = wl_display_dispatch_pending(display) >= 0;
                continue;
            }
            if (wl_display_flush(display) < 0 && errno != EAGAIN) {
                wl_display_cancel_read(display);
                ok = false;
                break;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline
                                                                                    - std::chrono::steady_clock::now());
            pollfd readable{wl_display_get_fd(display), POLLIN, 0};
            const int ready = left.count() > 0 ? ::poll(&readable, 1, int(left.count())) : 0;
            if (ready <= 0) {
                wl_display_cancel_read(display);
                ok = ready < 0 && errno == EINTR;
                continue;
            }
            ok = wl_display_read_events(display) >= 0 && wl_display_dispatch_pending(display) >= 0;
        }
        wl_callback_destroy(sync);
        return ok && answered;
    }
};

namespace {

using Connection = WaylandToplevels::Connection;

const zwlr_foreign_toplevel_manager_v1_listener wlrManagerListener = {
    .toplevel =
        [](void *data, zwlr_foreign_toplevel_manager_v1 *, zwlr_foreign_toplevel_handle_v1 *proxy) {
            zwlr_foreign_toplevel_handle_v1_add_listener(proxy, &wlrHandleListener,
                                                         static_cast<Connection *>(data)->add(proxy, false));
        },
    .finished = [](void *, zwlr_foreign_toplevel_manager_v1 *) {},
};

const org_kde_plasma_window_management_listener plasmaManagerListener = {
    .show_desktop_changed = [](void *, org_kde_plasma_window_management *, std::uint32_t) {},
    .window =
        [](void *data, org_kde_plasma_window_management *manager, std::uint32_t internalId) {
            if (org_kde_plasma_window *window = org_kde_plasma_window_management_get_window(manager, internalId))
                org_kde_plasma_window_add_listener(window, &plasmaWindowListener,
                                                   static_cast<Connection *>(data)->add(window, true));
        },
    .stacking_order_changed = [](void *, org_kde_plasma_window_management *, wl_array *) {},
    .stacking_order_uuid_changed = [](void *, org_kde_plasma_window_management *, const char *) {},
    .window_with_uuid = [](void *, org_kde_plasma_window_management *, std::uint32_t, const char *) {},
#ifdef ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STACKING_ORDER_CHANGED_2_SINCE_VERSION
    .stacking_order_changed_2 = [](void *, org_kde_plasma_window_management *) {},
#endif
};

const wl_registry_listener registryListener = {
    .global =
        [](void *data, wl_registry *registry, std::uint32_t name, const char *interface, std::uint32_t version) {
            auto &connection = *static_cast<Connection *>(data);
            if (!connection.wlrManager
                && std::strcmp(interface, zwlr_foreign_toplevel_manager_v1_interface.name) == 0) {
                connection.wlrManager = static_cast<zwlr_foreign_toplevel_manager_v1 *>(wl_registry_bind(
                    registry, name, &zwlr_foreign_toplevel_manager_v1_interface, std::min(version, wlrVersion)));
                if (connection.wlrManager)
                    zwlr_foreign_toplevel_manager_v1_add_listener(connection.wlrManager, &wlrManagerListener,
                                                                  &connection);
            } else if (!connection.plasmaManager
                       && std::strcmp(interface, org_kde_plasma_window_management_interface.name) == 0) {
                connection.plasmaManager = static_cast<org_kde_plasma_window_management *>(
                    wl_registry_bind(registry, name, &org_kde_plasma_window_management_interface, plasmaVersion));
                if (connection.plasmaManager)
                    org_kde_plasma_window_management_add_listener(connection.plasmaManager, &plasmaManagerListener,
                                                                  &connection);
            } else if (!connection.seat && std::strcmp(interface, wl_seat_interface.name) == 0) {
                connection.seat = static_cast<wl_seat *>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
            }
        },
    .global_remove = [](void *, wl_registry *, std::uint32_t) {},
};

} // namespace

WaylandToplevels::WaylandToplevels() : m_connection(std::make_unique<Connection>())
{
}

WaylandToplevels::~WaylandToplevels() = default;

std::unique_ptr<WaylandToplevels> WaylandToplevels::open()
{
    // Named, so that a WAYLAND_SOCKET handed to Pelmora is never taken over here.
    const char *name = std::getenv("WAYLAND_DISPLAY");
    if (!name || !*name)
        return nullptr;
    std::unique_ptr<WaylandToplevels> toplevels(new WaylandToplevels());
    Connection &connection = *toplevels->m_connection;
    connection.display = wl_display_connect(name);
    if (!connection.display)
        return nullptr;
    connection.registry = wl_display_get_registry(connection.display);
    if (!connection.registry)
        return nullptr;
    wl_registry_add_listener(connection.registry, &registryListener, &connection);
    // The globals; what a manager lists on binding (each window, and with
    // foreign toplevels its app_id); then what KWin tells of each window.
    if (!connection.roundtrip(answerTimeout))
        return nullptr;
    if ((connection.wlrManager || connection.plasmaManager) && !connection.roundtrip(answerTimeout))
        return nullptr;
    if (connection.plasmaManager && !connection.roundtrip(answerTimeout))
        return nullptr;
    for (std::uint32_t id = 1; id <= connection.handles.size(); ++id)
        if (const Handle *handle = connection.handle(id))
            toplevels->m_toplevels.push_back({id, handle->appId, handle->pid, handle->closeable});
    return toplevels;
}

WaylandToplevels::Listing WaylandToplevels::listing() const
{
    // KWin names processes: where both are offered, its listing wins.
    if (m_connection->plasmaManager)
        return Listing::byPid;
    return m_connection->wlrManager ? Listing::byAppId : Listing::none;
}

int WaylandToplevels::socketDescriptor() const
{
    return wl_display_get_fd(m_connection->display);
}

void WaylandToplevels::activate(std::uint32_t id)
{
    Handle *handle = m_connection->handle(id);
    if (!handle)
        return;
    if (handle->plasma) {
        // Raised and focused, and out of the task bar's minimised ones.
        org_kde_plasma_window_set_state(reinterpret_cast<org_kde_plasma_window *>(handle->proxy),
                                        ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_ACTIVE
                                            | ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_MINIMIZED,
                                        ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_ACTIVE);
    } else if (m_connection->seat) {
        zwlr_foreign_toplevel_handle_v1_activate(reinterpret_cast<zwlr_foreign_toplevel_handle_v1 *>(handle->proxy),
                                                 m_connection->seat);
    }
}

void WaylandToplevels::close(std::uint32_t id)
{
    Handle *handle = m_connection->handle(id);
    if (!handle)
        return;
    if (handle->plasma)
        org_kde_plasma_window_close(reinterpret_cast<org_kde_plasma_window *>(handle->proxy));
    else
        zwlr_foreign_toplevel_handle_v1_close(reinterpret_cast<zwlr_foreign_toplevel_handle_v1 *>(handle->proxy));
}

void WaylandToplevels::flush()
{
    m_connection->roundtrip(answerTimeout);
}

} // namespace pelmora::platform
