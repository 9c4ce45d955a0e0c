// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The C library's heap keeps the pages of freed blocks for later use; after a
// one-off burst of temporary allocations that only inflates the resident size
// of a program that then runs for hours.
namespace pelmora::platform {

// Hands the free pages of the heap back to the system (malloc_trim(3)).
void returnFreeHeapPages() noexcept;

} // namespace pelmora::platform
