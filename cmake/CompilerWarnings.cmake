# Warnings for every target of ours; PINTORA_WERROR turns them into errors (the test build).
option(PINTORA_WERROR "Treat warnings as errors" OFF)

function(pintora_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  if(PINTORA_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
