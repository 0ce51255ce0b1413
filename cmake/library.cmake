# SPDX-License-Identifier: GPL-3.0-or-later
# One static library a folder. Every library includes from the project
# folder ("power/power_summary.h"); which folder may include which is kept by
# tests/check_layers.py, and each library links exactly what it uses.
function(dorvik_add_library name)
  add_library(${name} STATIC ${ARGN})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_compile_options(${name} PRIVATE $<$<CXX_COMPILER_ID:GNU,Clang>:-Wall -Wextra>)
  # The fuzzers steer by the coverage of the code they exercise.
  if(DORVIK_FUZZ)
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer-no-link)
  endif()
endfunction()
