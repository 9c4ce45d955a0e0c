# SPDX-FileCopyrightText: 2026 Pelmora developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Warnings and sanitizers for the project's own targets (third-party headers are system includes).
add_compile_options(-Wall -Wextra -Wpedantic)

if(PELMORA_SANITIZE)
  set(_pelmora_san -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_compile_options(${_pelmora_san})
  add_link_options(${_pelmora_san})
endif()
