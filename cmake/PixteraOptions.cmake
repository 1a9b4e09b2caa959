# SPDX-License-Identifier: MIT
# Warnings and sanitizers for every target of the project.
add_compile_options(-Wall -Wextra -Wpedantic -Wshadow -Wconversion
                    -Wno-sign-conversion)
if(PIXTERA_WERROR)
  add_compile_options(-Werror)
endif()

if(PIXTERA_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "PIXTERA_FUZZ needs clang: -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang")
  endif()
  set(PIXTERA_ASAN ON)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

if(PIXTERA_ASAN AND PIXTERA_TSAN)
  message(FATAL_ERROR "PIXTERA_ASAN and PIXTERA_TSAN cannot be combined")
endif()
if(PIXTERA_ASAN)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
if(PIXTERA_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# Shared objects must resolve every symbol at link time, except under clang's sanitizers, whose
# runtime only the executables carry.
set(PIXTERA_NO_UNDEFINED -Wl,--no-undefined)
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang" AND (PIXTERA_ASAN OR PIXTERA_TSAN))
  set(PIXTERA_NO_UNDEFINED "")
endif()
