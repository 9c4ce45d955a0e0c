// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Heap.h"

#include <malloc.h>

namespace pelmora::platform {

void returnFreeHeapPages() noexcept
{
    ::malloc_trim(0);
}

} // namespace pelmora::platform
