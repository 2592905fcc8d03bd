# PINTORA_FUZZ=ON builds the libFuzzer targets in tests/fuzz, and only with clang: every source,
# pintora_core included, gets the coverage hooks and AddressSanitizer + UndefinedBehaviorSanitizer.
option(PINTORA_FUZZ "Build the libFuzzer targets (clang only)" OFF)
set(PINTORA_FUZZ_SECONDS 10 CACHE STRING "How long the test run gives each fuzz target")

if(PINTORA_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "PINTORA_FUZZ needs clang (cmake --preset fuzz)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
    -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
