# Run by CPack on the staged files of each package before it is built. The tool's run path ($ORIGIN/../lib...)
# lets an installed tree be moved; a packaged tool finds libnavconfig.so.1 in the system's library folder, and
# Debian does not allow a run path there.
file(GLOB_RECURSE tools LIST_DIRECTORIES false "${CPACK_TEMPORARY_DIRECTORY}/*/usr/bin/navconfig")
foreach(tool IN LISTS tools)
  file(RPATH_REMOVE FILE "${tool}")
endforeach()
