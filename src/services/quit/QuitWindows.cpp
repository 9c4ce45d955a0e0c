// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "QuitWindows.h"

#include "WaylandQuitWindows.h"
#include "X11QuitWindows.h"

#include <utility>

namespace pelmora {
namespace {

// Several window systems at once (a Wayland session with XWayland: an
// application's windows may be on either), each asked about every target.
class CombinedQuitWindows final : public QuitWindows {
public:
    explicit CombinedQuitWindows(std::vector<std::unique_ptr<QuitWindows>> parts) : m_parts(std::move(parts)) { }

    bool attributesWindows(const QuitTarget &target) override
    {
        return std::all_of(m_parts.begin(), m_parts.end(),
                           [&](const std::unique_ptr<QuitWindows> &part) { return part->attributesWindows(target); });
    }

    std::vector<QuitWindow> windowsOf(const QuitTarget &target) override
    {
        std::vector<QuitWindow> all;
        for (const std::unique_ptr<QuitWindows> &part : m_parts)
            for (const QuitWindow &window : part->windowsOf(target)) {
                m_windows.emplace_back(part.get(), window.id);
                all.push_back({m_windows.size(), window.takesCloseRequest});
            }
        return all;
    }

    void bringForward(std::uint64_t window) override
    {
        if (window > 0 && window <= m_windows.size())
            m_windows[window - 1].first->bringForward(m_windows[window - 1].second);
    }

    void askToClose(std::uint64_t window) override
    {
        if (window > 0 && window <= m_windows.size())
            m_windows[window - 1].first->askToClose(m_windows[window - 1].second);
    }

    void flush() override
    {
        for (const std::unique_ptr<QuitWindows> &part : m_parts)
            part->flush();
    }

private:
    std::vector<std::unique_ptr<QuitWindows>> m_parts;
    std::vector<std::pair<QuitWindows *, std::uint64_t>> m_windows; // by our id - 1
};

} // namespace

std::unique_ptr<QuitWindows> openQuitWindows(const platform::ProcRoot &root, SocketSurvey &sockets)
{
    // Pelmora reaches an X server (XWayland too) whenever $DISPLAY names
    // one, and a compositor whenever $WAYLAND_DISPLAY does. Each server is
    // known by our own connection's far end in the socket table, so both
    // connections are made before the table is read (opening the X display
    // reads it).
    std::unique_ptr<platform::WaylandToplevels> toplevels = platform::WaylandToplevels::open();
    std::vector<std::unique_ptr<QuitWindows>> parts;
    if (std::unique_ptr<QuitWindows> x11 = X11QuitWindows::open(root, sockets))
        parts.push_back(std::move(x11));
    if (toplevels)
        parts.push_back(WaylandQuitWindows::over(std::move(toplevels), root, sockets));
    if (parts.size() == 1)
        return std::move(parts.front());
    return parts.empty() ? nullptr : std::make_unique<CombinedQuitWindows>(std::move(parts));
}

} // namespace pelmora
