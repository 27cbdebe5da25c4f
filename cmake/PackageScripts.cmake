# Run by CPack once the packages are built (CPACK_POST_BUILD_SCRIPTS, with CPACK_PACKAGE_FILES): the maintainer
# scripts that CPack adds on its own to a package that holds a shared library, a postinst and a postrm that only
# call ldconfig, are taken out, and the package is built again from the same files. The ldconfig trigger that
# the library's package carries does their work.
find_program(NAVCONFIG_DPKG_DEB dpkg-deb REQUIRED)
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  set(tree "${deb}.tree")
  file(REMOVE_RECURSE "${tree}")
  execute_process(COMMAND ${NAVCONFIG_DPKG_DEB} --raw-extract "${deb}" "${tree}" COMMAND_ERROR_IS_FATAL ANY)
  set(scripts "")
  foreach(name postinst postrm)
    if(EXISTS "${tree}/DEBIAN/${name}")
      file(STRINGS "${tree}/DEBIAN/${name}" lines REGEX "[^ \t]")
      list(FILTER lines EXCLUDE REGEX "^(#|set -e$|if \\[ \"\\$1\" = \"(configure|remove)\" \\]; then$|fi$|[ \t]*ldconfig$)")
      if(lines)
        message(FATAL_ERROR "${deb}: the ${name} does more than call ldconfig: ${lines}")
      endif()
      list(APPEND scripts "${tree}/DEBIAN/${name}")
    endif()
  endforeach()
  if(scripts)
    file(REMOVE ${scripts})
    execute_process(COMMAND ${NAVCONFIG_DPKG_DEB} --root-owner-group -Zgzip --build "${tree}" "${deb}"
                    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  endif()
  file(REMOVE_RECURSE "${tree}")
endforeach()
