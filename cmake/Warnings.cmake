# Warning flags for every target of the project; errors when NAVCONFIG_WERROR is on (CI builds). With
# NAVCONFIG_THREAD_SAFETY (Clang only; the threadsafety preset), Clang's lock analysis checks the rules that
# platform/thread_annotations.h states in the code.
option(NAVCONFIG_THREAD_SAFETY "Check the lock annotations with Clang's -Wthread-safety" OFF)
function(navconfig_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  if(NAVCONFIG_THREAD_SAFETY)
    target_compile_options(${target} PRIVATE -Wthread-safety)
  endif()
  if(NAVCONFIG_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
