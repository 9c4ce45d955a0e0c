// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "WaylandToplevels.h"

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
constexpr std::uint32_t managerVersion = 3;

struct Handle {
    zwlr_foreign_toplevel_handle_v1 *proxy = nullptr;
    std::string appId;
    bool closed = false;
};

void ignoreString(void *, zwlr_foreign_toplevel_handle_v1 *, const char *) {}
void ignoreOutput(void *, zwlr_foreign_toplevel_handle_v1 *, wl_output *) {}
void ignoreState(void *, zwlr_foreign_toplevel_handle_v1 *, wl_array *) {}
void ignoreDone(void *, zwlr_foreign_toplevel_handle_v1 *) {}
void ignoreParent(void *, zwlr_foreign_toplevel_handle_v1 *, zwlr_foreign_toplevel_handle_v1 *) {}

const zwlr_foreign_toplevel_handle_v1_listener handleListener = {
    .title = ignoreString,
    .app_id = [](void *data, zwlr_foreign_toplevel_handle_v1 *, const char *appId) {
        static_cast<Handle *>(data)->appId = appId ? appId : "";
    },
    .output_enter = ignoreOutput,
    .output_leave = ignoreOutput,
    .state = ignoreState,
    .done = ignoreDone,
    .closed = [](void *data, zwlr_foreign_toplevel_handle_v1 *) { static_cast<Handle *>(data)->closed = true; },
    .parent = ignoreParent,
};

} // namespace

struct WaylandToplevels::Connection {
    wl_display *display = nullptr;
    wl_registry *registry = nullptr;
    zwlr_foreign_toplevel_manager_v1 *manager = nullptr;
    wl_seat *seat = nullptr;
    std::vector<std::unique_ptr<Handle>> handles; // id - 1 is the index

    ~Connection()
    {
        for (const auto &handle : handles)
            zwlr_foreign_toplevel_handle_v1_destroy(handle->proxy);
        if (manager)
            zwlr_foreign_toplevel_manager_v1_destroy(manager);
        if (seat)
            wl_seat_destroy(seat);
        if (registry)
            wl_registry_destroy(registry);
        if (display)
            wl_display_disconnect(display);
    }

    Handle *handle(std::uint32_t id) const
    {
        return id > 0 && id <= handles.size() && !handles[id - 1]->closed ? handles[id - 1].get() : nullptr;
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
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
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

const zwlr_foreign_toplevel_manager_v1_listener managerListener = {
    .toplevel =
        [](void *data, zwlr_foreign_toplevel_manager_v1 *, zwlr_foreign_toplevel_handle_v1 *proxy) {
            auto &connection = *static_cast<WaylandToplevels::Connection *>(data);
            auto handle = std::make_unique<Handle>();
            handle->proxy = proxy;
            zwlr_foreign_toplevel_handle_v1_add_listener(proxy, &handleListener, handle.get());
            connection.handles.push_back(std::move(handle));
        },
    .finished = [](void *, zwlr_foreign_toplevel_manager_v1 *) {},
};

const wl_registry_listener registryListener = {
    .global =
        [](void *data, wl_registry *registry, std::uint32_t name, const char *interface, std::uint32_t version) {
            auto &connection = *static_cast<WaylandToplevels::Connection *>(data);
            if (!connection.manager && std::strcmp(interface, zwlr_foreign_toplevel_manager_v1_interface.name) == 0) {
                connection.manager = static_cast<zwlr_foreign_toplevel_manager_v1 *>(wl_registry_bind(
                    registry, name, &zwlr_foreign_toplevel_manager_v1_interface, std::min(version, managerVersion)));
                if (connection.manager)
                    zwlr_foreign_toplevel_manager_v1_add_listener(connection.manager, &managerListener, &connection);
            } else if (!connection.seat && std::strcmp(interface, wl_seat_interface.name) == 0) {
                connection.seat = static_cast<wl_seat *>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
            }
        },
    .global_remove = [](void *, wl_registry *, std::uint32_t) {},
};

} // namespace

WaylandToplevels::WaylandToplevels() : m_connection(std::make_unique<Connection>()) {}

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
    // The globals, then what the manager lists on binding: each window and its app_id.
    if (!connection.roundtrip(answerTimeout) || (connection.manager && !connection.roundtrip(answerTimeout)))
        return nullptr;
    for (std::uint32_t id = 1; id <= connection.handles.size(); ++id)
        if (const Handle *handle = connection.handle(id))
            toplevels->m_toplevels.push_back({id, handle->appId});
    return toplevels;
}

bool WaylandToplevels::listsToplevels() const
{
    return m_connection->manager != nullptr;
}

int WaylandToplevels::socketDescriptor() const
{
    return wl_display_get_fd(m_connection->display);
}

void WaylandToplevels::activate(std::uint32_t id)
{
    if (Handle *handle = m_connection->handle(id); handle && m_connection->seat)
        zwlr_foreign_toplevel_handle_v1_activate(handle->proxy, m_connection->seat);
}

void WaylandToplevels::close(std::uint32_t id)
{
    if (Handle *handle = m_connection->handle(id))
        zwlr_foreign_toplevel_handle_v1_close(handle->proxy);
}

void WaylandToplevels::flush()
{
    m_connection->roundtrip(answerTimeout);
}

} // namespace pelmora::platform
