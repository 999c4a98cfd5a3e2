# VORN_SANITIZE=asan builds with AddressSanitizer and UndefinedBehaviorSanitizer,
# VORN_SANITIZE=tsan with ThreadSanitizer.
# VORN_SANITIZE=fuzz (clang only) is asan with every object also carrying
# libFuzzer's coverage counters, so that the fuzz programs see the code they
# test; only the fuzz programs link libFuzzer itself (tests/CMakeLists.txt).
set(VORN_SANITIZE "" CACHE STRING "Sanitizer build: empty, asan, tsan or fuzz")
if(VORN_SANITIZE STREQUAL "asan")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(VORN_SANITIZE STREQUAL "tsan")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(VORN_SANITIZE STREQUAL "fuzz")
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "VORN_SANITIZE=fuzz needs clang: configure with CC=clang CXX=clang++")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(NOT VORN_SANITIZE STREQUAL "")
  message(FATAL_ERROR "VORN_SANITIZE must be empty, asan, tsan or fuzz")
endif()
