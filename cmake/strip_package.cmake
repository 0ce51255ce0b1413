# SPDX-License-Identifier: GPL-3.0-or-later
# Run by CPack on the staged tree, in place of CPACK_STRIP_FILES: strips each
# program as Debian's dh_strip does, dropping the compiler's .comment and
# .note sections too.
file(GLOB_RECURSE files LIST_DIRECTORIES false "${CPACK_TEMPORARY_DIRECTORY}/*")
foreach(file IN LISTS files)
  if(IS_SYMLINK "${file}")
    continue()
  endif()
  file(READ "${file}" magic LIMIT 4 HEX)
  if(magic STREQUAL "7f454c46")
    execute_process(COMMAND "${CPACK_DORVIK_STRIP}" --remove-section=.comment --remove-section=.note "${file}"
                    COMMAND_ERROR_IS_FATAL ANY)
  endif()
endforeach()
