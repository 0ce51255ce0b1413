# SPDX-License-Identifier: GPL-3.0-or-later
# DORVIK_SANITIZE builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer; the first report ends the process with an error,
# so that any report fails its test. Built with Clang, the same build also holds
# the libFuzzer targets of fuzz/.
option(DORVIK_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

set(DORVIK_FUZZ OFF)
if(DORVIK_SANITIZE)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "^(Clang|GNU)$")
    message(FATAL_ERROR "DORVIK_SANITIZE needs Clang or GCC")
  endif()
  set(DORVIK_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_compile_options(${DORVIK_SANITIZER_FLAGS})
  add_link_options(${DORVIK_SANITIZER_FLAGS})
  if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    set(DORVIK_FUZZ ON)
  endif()
  # Reports name functions and lines only with a symbolizer at hand.
  find_program(DORVIK_SYMBOLIZER NAMES llvm-symbolizer llvm-symbolizer-14 PATHS /usr/lib/llvm-14/bin)
endif()

# Applies to every test of the calling directory: the sanitizers' options,
# and suppressions for leaks inside system libraries (Qt, fontconfig), which
# are theirs to fix, not ours.
function(dorvik_add_sanitizer_environment)
  if(NOT DORVIK_SANITIZE)
    return()
  endif()
  set(symbolizer)
  if(DORVIK_SYMBOLIZER)
    set(symbolizer ":external_symbolizer_path=${DORVIK_SYMBOLIZER}")
  endif()
  get_property(tests DIRECTORY PROPERTY TESTS)
  if(tests)
    set_property(TEST ${tests} APPEND PROPERTY ENVIRONMENT
      "ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:check_initialization_order=1:strict_init_order=1:detect_stack_use_after_return=1${symbolizer}"
      "UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1${symbolizer}"
      "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/cmake/lsan.supp:print_suppressions=0")
  endif()
endfunction()
