# SPDX-License-Identifier: GPL-3.0-or-later
# Run by CPack on the staged tree before it makes the package. It strips each
# program as Debian's dh_strip does, dropping the compiler's .comment and
# .note sections too (in place of CPACK_STRIP_FILES), and marks every file
# under /etc as a conffile, so that an administrator's edits survive an
# upgrade (CPack marks none by itself).
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${CPACK_TEMPORARY_DIRECTORY}"
     "${CPACK_TEMPORARY_DIRECTORY}/*")
set(conffiles "")
foreach(file IN LISTS files)
  set(path "${CPACK_TEMPORARY_DIRECTORY}/${file}")
  if(IS_SYMLINK "${path}")
    continue()
  endif()
  if(file MATCHES "^etc/")
    string(APPEND conffiles "/${file}\n")
  endif()
  file(READ "${path}" magic LIMIT 4 HEX)
  if(magic STREQUAL "7f454c46")
    execute_process(COMMAND "${CPACK_DORVIK_STRIP}" --remove-section=.comment --remove-section=.note "${path}"
                    COMMAND_ERROR_IS_FATAL ANY)
  endif()
endforeach()
# An empty conffiles is a lintian warning; CPack skips a missing one.
if(conffiles STREQUAL "")
  file(REMOVE "${CPACK_DORVIK_CONFFILES}")
else()
  file(WRITE "${CPACK_DORVIK_CONFFILES}" "${conffiles}")
endif()
