# PINTORA_SANITIZE=ON builds everything with AddressSanitizer and UndefinedBehaviorSanitizer.
option(PINTORA_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

if(PINTORA_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
  # Every program keeps the libraries it loaded until it exits, so that the leak check at exit
  # still sees what their static storage points to (see the source for why).
  add_library(pintora_keep_libraries_loaded OBJECT
    ${CMAKE_CURRENT_LIST_DIR}/../tests/sanitizers/KeepLibrariesLoaded.cpp)
  set(is_program "$<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>")
  link_libraries("$<${is_program}:pintora_keep_libraries_loaded>")
  add_link_options("$<${is_program}:LINKER:--export-dynamic-symbol=dlclose>")
endif()
