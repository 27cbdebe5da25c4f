# Warning flags for every target of the project; errors when NAVCONFIG_WERROR is on (CI builds).
function(navconfig_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  if(NAVCONFIG_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
