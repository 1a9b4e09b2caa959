# Warnings and sanitizers for every target of the project.
add_compile_options(-Wall -Wextra -Wpedantic -Wshadow -Wconversion
                    -Wno-sign-conversion)
if(PIXTERA_WERROR)
  add_compile_options(-Werror)
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
