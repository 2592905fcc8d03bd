# PINTORA_SANITIZE=ON builds everything with AddressSanitizer and UndefinedBehaviorSanitizer.
option(PINTORA_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

if(PINTORA_SANITIZE)
  # float-cast-overflow is not part of g++'s "undefined": a double too large for the int it is
  # cast to (a coordinate, a pixel count) is caught only when asked for.
  add_compile_options(-fsanitize=address,undefined,float-cast-overflow -fno-omit-frame-pointer
    -fno-sanitize-recover=undefined,float-cast-overflow)
  add_link_options(-fsanitize=address,undefined,float-cast-overflow)
  # Every program keeps the libraries it loaded until it exits, so that the leak check at exit
  # still sees what their static storage points to (see the source for why).
  add_library(pintora_keep_libraries_loaded OBJECT
    ${CMAKE_CURRENT_LIST_DIR}/../tests/sanitizers/KeepLibrariesLoaded.cpp)
  set(is_program "$<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>")
  link_libraries("$<${is_program}:pintora_keep_libraries_loaded>")
  add_link_options("$<${is_program}:LINKER:--export-dynamic-symbol=dlclose>")
endif()
