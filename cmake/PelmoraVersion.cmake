# SPDX-FileCopyrightText: 2026 Pelmora developers
# SPDX-License-Identifier: GPL-3.0-or-later

# The version has one home: the newest entry of debian/changelog, which the
# package takes it from. The program (--version), the man page and the
# AppStream release take it from there too, with that entry's date.
#   PELMORA_VERSION_FROM_CHANGELOG  e.g. 0.1.0 (Debian revision, if any, dropped)
#   PELMORA_RELEASE_DATE            e.g. 2026-12-06
set(_changelog ${CMAKE_CURRENT_LIST_DIR}/../debian/changelog)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_changelog})
file(STRINGS ${_changelog} _head LIMIT_COUNT 1)
if(NOT _head MATCHES "^pelmora \\(([0-9]+:)?([0-9]+(\\.[0-9]+)*)(-[^)]*)?\\) ")
  message(FATAL_ERROR "debian/changelog: the first line names no version of the form pelmora (1.2.3): ${_head}")
endif()
set(PELMORA_VERSION_FROM_CHANGELOG ${CMAKE_MATCH_2})

# The entry's trailer: " -- Name <address>  Sun, 06 Dec 2026 21:30:00 +0000".
file(STRINGS ${_changelog} _trailer REGEX "^ -- " LIMIT_COUNT 1)
if(NOT _trailer MATCHES ">  [A-Z][a-z][a-z], 0?([1-9][0-9]?) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
  message(FATAL_ERROR "debian/changelog: the first entry's trailer has no date: ${_trailer}")
endif()
set(_day ${CMAKE_MATCH_1})
set(_year ${CMAKE_MATCH_3})
set(_months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(FIND _months ${CMAKE_MATCH_2} _month)
if(_month LESS 0)
  message(FATAL_ERROR "debian/changelog: unknown month in ${_trailer}")
endif()
math(EXPR _month "${_month} + 1")
if(_month LESS 10)
  set(_month 0${_month})
endif()
if(_day LESS 10)
  set(_day 0${_day})
endif()
set(PELMORA_RELEASE_DATE ${_year}-${_month}-${_day})
