# Sanitizers apply to everything built in the tree, so that the library, the test server and the
# tests share one runtime.
if(QUENLAR_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(QUENLAR_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT QUENLAR_SANITIZE STREQUAL "")
  message(FATAL_ERROR "QUENLAR_SANITIZE must be address, thread or empty")
endif()
