// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A pointer and a keyboard for a headless compositor, which has no input
// devices of its own: without them its seat offers clients no keyboard and no
// pointer at all. wlroots compositors (sway) take the virtual pointer and
// keyboard protocols; KWin takes its fake-input protocol (offered only to a
// program whose desktop file names it). Both devices stay for as long as this
// runs, as a real machine's would, and it acts on commands read line by line:
//   click X Y          a left click at X,Y of the output layout
//   type TEXT          the characters of TEXT (US layout)
//   key NAME...        keys by their keysym names (Escape, Tab, Down, Return)
// Each is answered "ok" once the compositor has taken it, or "error ...".
//   pelmora_seat WIDTH HEIGHT    (the layout's size, for absolute motion)
#include "fake-input-client-protocol.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <linux/input-event-codes.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>

namespace {

struct Globals {
    wl_seat *seat = nullptr;
    zwlr_virtual_pointer_manager_v1 *pointers = nullptr;
    zwp_virtual_keyboard_manager_v1 *keyboards = nullptr;
    org_kde_kwin_fake_input *fakeInput = nullptr;
};

void global(void *data, wl_registry *registry, uint32_t name, const char *interface, uint32_t version)
{
    auto *globals = static_cast<Globals *>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && !globals->seat)
        globals->seat = static_cast<wl_seat *>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    else if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
        globals->pointers = static_cast<zwlr_virtual_pointer_manager_v1 *>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
    else if (std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0)
        globals->keyboards = static_cast<zwp_virtual_keyboard_manager_v1 *>(
            wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
    else if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && version >= 4)
        globals->fakeInput = static_cast<org_kde_kwin_fake_input *>(
            wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 4));
}

const wl_registry_listener registryListener{global, [](void *, wl_registry *, uint32_t) {}};

// Event times in milliseconds of the monotonic clock, as real devices give
// them: clients tell a double click by these times, so two clicks seconds
// apart must not look 20 ms apart.
uint32_t tick()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint32_t(std::uint64_t(now.tv_sec) * 1000 + std::uint64_t(now.tv_nsec) / 1000000);
}

struct Keyboard {
    zwp_virtual_keyboard_v1 *device = nullptr; // or, on KWin:
    org_kde_kwin_fake_input *fakeInput = nullptr;
    xkb_keymap *keymap = nullptr;
    xkb_mod_index_t shift = 0;

    // The key that gives `sym`, and whether it needs Shift; 0 when none does.
    std::pair<xkb_keycode_t, bool> find(xkb_keysym_t sym) const
    {
        for (xkb_keycode_t code = xkb_keymap_min_keycode(keymap); code <= xkb_keymap_max_keycode(keymap); ++code)
            for (xkb_level_index_t level = 0; level < 2; ++level) {
                const xkb_keysym_t *syms = nullptr;
                const int count = xkb_keymap_key_get_syms_by_level(keymap, code, 0, level, &syms);
                for (int i = 0; i < count; ++i)
                    if (syms[i] == sym)
                        return {code, level == 1};
            }
        return {0, false};
    }

    bool press(xkb_keysym_t sym) const
    {
        const auto [code, shifted] = find(sym);
        if (code == 0)
            return false;
        const uint32_t evdev = code - 8; // xkb keycodes are evdev codes + 8
        if (fakeInput) { // KWin keeps the keymap and the modifiers itself
            if (shifted)
                org_kde_kwin_fake_input_keyboard_key(fakeInput, KEY_LEFTSHIFT, WL_KEYBOARD_KEY_STATE_PRESSED);
            org_kde_kwin_fake_input_keyboard_key(fakeInput, evdev, WL_KEYBOARD_KEY_STATE_PRESSED);
            org_kde_kwin_fake_input_keyboard_key(fakeInput, evdev, WL_KEYBOARD_KEY_STATE_RELEASED);
            if (shifted)
                org_kde_kwin_fake_input_keyboard_key(fakeInput, KEY_LEFTSHIFT, WL_KEYBOARD_KEY_STATE_RELEASED);
            return true;
        }
        if (shifted)
            zwp_virtual_keyboard_v1_modifiers(device, 1u << shift, 0, 0, 0);
        zwp_virtual_keyboard_v1_key(device, tick(), evdev, WL_KEYBOARD_KEY_STATE_PRESSED);
        zwp_virtual_keyboard_v1_key(device, tick(), evdev, WL_KEYBOARD_KEY_STATE_RELEASED);
        if (shifted)
            zwp_virtual_keyboard_v1_modifiers(device, 0, 0, 0, 0);
        return true;
    }
};

bool loadKeymap(Keyboard &keyboard)
{
    xkb_context *context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    const xkb_rule_names names{"evdev", "pc105", "us", "", ""};
    keyboard.keymap = context ? xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS) : nullptr;
    return keyboard.keymap != nullptr;
}

bool uploadKeymap(Keyboard &keyboard)
{
    if (!loadKeymap(keyboard))
        return false;
    keyboard.shift = xkb_keymap_mod_get_index(keyboard.keymap, XKB_MOD_NAME_SHIFT);
    char *text = xkb_keymap_get_as_string(keyboard.keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
    const size_t size = std::strlen(text) + 1;
    const int fd = memfd_create("keymap", MFD_CLOEXEC);
    const bool written = fd >= 0 && write(fd, text, size) == ssize_t(size);
    std::free(text);
    if (written)
        zwp_virtual_keyboard_v1_keymap(keyboard.device, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, uint32_t(size));
    if (fd >= 0)
        close(fd);
    return written;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: pelmora_seat WIDTH HEIGHT\n");
        return 2;
    }
    const uint32_t width = uint32_t(std::atoi(argv[1])), height = uint32_t(std::atoi(argv[2]));
    wl_display *display = wl_display_connect(nullptr);
    if (!display) {
        std::fprintf(stderr, "pelmora_seat: no Wayland display\n");
        return 1;
    }
    Globals globals;
    wl_registry_add_listener(wl_display_get_registry(display), &registryListener, &globals);
    wl_display_roundtrip(display);
    const bool wlroots = globals.seat && globals.pointers && globals.keyboards;
    if (!wlroots && !globals.fakeInput) {
        std::fprintf(stderr, "pelmora_seat: the compositor offers no virtual pointer or keyboard\n");
        return 1;
    }
    zwlr_virtual_pointer_v1 *pointer = nullptr;
    Keyboard keyboard;
    if (wlroots) {
        pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(globals.pointers, globals.seat);
        keyboard.device = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(globals.keyboards, globals.seat);
    } else {
        keyboard.fakeInput = globals.fakeInput;
        org_kde_kwin_fake_input_authenticate(globals.fakeInput, "pelmora_seat", "input for a headless test session");
    }
    if (!(wlroots ? uploadKeymap(keyboard) : loadKeymap(keyboard)) || wl_display_roundtrip(display) < 0) {
        std::fprintf(stderr, "pelmora_seat: no keymap\n");
        return 1;
    }
    std::cout << "ready" << std::endl;

    for (std::string line; std::getline(std::cin, line);) {
        std::istringstream words(line);
        std::string command;
        words >> command;
        bool ok = true;
        if (command == "click") {
            uint32_t x = 0, y = 0;
            ok = bool(words >> x >> y) && x < width && y < height;
            if (ok && pointer) {
                zwlr_virtual_pointer_v1_motion_absolute(pointer, tick(), x, y, width, height);
                zwlr_virtual_pointer_v1_frame(pointer);
                zwlr_virtual_pointer_v1_button(pointer, tick(), BTN_LEFT, WL_POINTER_BUTTON_STATE_PRESSED);
                zwlr_virtual_pointer_v1_frame(pointer);
                zwlr_virtual_pointer_v1_button(pointer, tick(), BTN_LEFT, WL_POINTER_BUTTON_STATE_RELEASED);
                zwlr_virtual_pointer_v1_frame(pointer);
            } else if (ok) {
                org_kde_kwin_fake_input_pointer_motion_absolute(globals.fakeInput, wl_fixed_from_int(int(x)),
                                                                wl_fixed_from_int(int(y)));
                org_kde_kwin_fake_input_button(globals.fakeInput, BTN_LEFT, WL_POINTER_BUTTON_STATE_PRESSED);
                org_kde_kwin_fake_input_button(globals.fakeInput, BTN_LEFT, WL_POINTER_BUTTON_STATE_RELEASED);
            }
        } else if (command == "type") {
            std::string text;
            std::getline(words >> std::ws, text);
            for (const char c : text)
                ok = keyboard.press(xkb_utf32_to_keysym(uint32_t(static_cast<unsigned char>(c)))) && ok;
        } else if (command == "key") {
            for (std::string name; words >> name;)
                ok = keyboard.press(xkb_keysym_from_name(name.c_str(), XKB_KEYSYM_NO_FLAGS)) && ok;
        } else {
            ok = false;
        }
        if (wl_display_roundtrip(display) < 0) {
            std::cout << "error: the compositor went away" << std::endl;
            return 1;
        }
        std::cout << (ok ? "ok" : "error: " + line) << std::endl;
    }
    wl_display_disconnect(display);
    return 0;
}
