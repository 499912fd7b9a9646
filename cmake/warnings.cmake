# Warnings and sanitizers for every target of the project (not for third-party code).
add_compile_options(-Wall -Wextra)
if(QUILEX_WERROR)
  add_compile_options(-Werror)
endif()
if(QUILEX_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
