# SPDX-FileCopyrightText: 2026 Pelmora developers
# SPDX-License-Identifier: GPL-3.0-or-later

# The Debian package: `cpack -G DEB` in a Release build tree makes
# pelmora_<version>-1_<arch>.deb. scripts/check-package builds, installs, runs
# and removes it.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pelmora)
set(CPACK_PACKAGE_VENDOR "The Pelmora developers")
set(CPACK_PACKAGE_CONTACT "Pelmora maintainers <maintainers@users.noreply.c-seed-6d8a65ea.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "CPU and memory use in the panel")
set(CPACK_PACKAGE_DESCRIPTION "Pelmora sits in the desktop panel's tray as a text item such as 12/63,
the machine's CPU and memory use in whole percent. A click opens a
compact panel with the running applications (processes grouped per
desktop application), sortable by name, CPU and memory.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${PELMORA_HOMEPAGE}")
# dpkg-shlibdeps (dpkg-dev) derives the libraries' packages from the binary.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so invisible to dpkg-shlibdeps: the xcb platform plugin.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# Without any font Qt draws empty boxes for every glyph.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core")
# ps for PELMORA_PROCESS_SOURCE=ps; Qt's own German texts.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "procps, qt6-translations-l10n")

include(CPack)
