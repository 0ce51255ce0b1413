# SPDX-License-Identifier: GPL-3.0-or-later
# Debian's hardening build flags, which its packages are built with and
# lintian looks for: fortified libc calls and every symbol bound at start-up.
# Left to the sanitizer build, which fortification would only confuse, and to
# unoptimised builds, where it does nothing.
if(NOT WIN32 AND NOT DORVIK_SANITIZE)
  add_compile_definitions($<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
  add_link_options(LINKER:-z,relro LINKER:-z,now)
endif()
