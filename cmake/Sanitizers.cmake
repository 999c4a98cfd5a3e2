# VORN_SANITIZE=asan builds with AddressSanitizer and UndefinedBehaviorSanitizer,
# VORN_SANITIZE=tsan with ThreadSanitizer.
set(VORN_SANITIZE "" CACHE STRING "Sanitizer build: empty, asan or tsan")
if(VORN_SANITIZE STREQUAL "asan")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(VORN_SANITIZE STREQUAL "tsan")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT VORN_SANITIZE STREQUAL "")
  message(FATAL_ERROR "VORN_SANITIZE must be empty, asan or tsan")
endif()
