# Install rules: the shared library, the public headers (with the utility headers they use), a pkg-config
# file and a CMake package giving navconfig::navconfig. Each rule names its component, which decides the
# package it goes into: runtime (the library), dev (what a build against it needs), tool (the command-line
# tool).
include(CMakePackageConfigHelpers)

install(TARGETS navconfig EXPORT navconfigTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/config DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev
  FILES_MATCHING PATTERN "*.h")
install(FILES ${PROJECT_BINARY_DIR}/include/config/version.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/config
  COMPONENT dev)
install(FILES ${NAVCONFIG_PUBLIC_UTIL_HEADERS} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/doroutil COMPONENT dev)

# The name to link with: libnavconfig.so, or on Windows config.dll through its import library libconfig.dll.a.
if(WIN32)
  set(NAVCONFIG_LINK_NAME config)
else()
  set(NAVCONFIG_LINK_NAME navconfig)
endif()
# The .pc file finds the prefix from its own folder, <libdir>/pkgconfig (as many levels up as the library
# folder is deep), so that the installed tree can be moved. Absolute folders are taken as they are.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(NAVCONFIG_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
  file(RELATIVE_PATH NAVCONFIG_PC_TO_PREFIX "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
  string(REGEX REPLACE "/$" "" NAVCONFIG_PC_TO_PREFIX "${NAVCONFIG_PC_TO_PREFIX}")
  set(NAVCONFIG_PC_PREFIX "\${pcfiledir}/${NAVCONFIG_PC_TO_PREFIX}")
endif()
foreach(dir LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${dir}}")
    set(NAVCONFIG_PC_${dir} "${CMAKE_INSTALL_${dir}}")
  else()
    set(NAVCONFIG_PC_${dir} "\${prefix}/${CMAKE_INSTALL_${dir}}")
  endif()
endforeach()
# libsodium is linked privately (static linking needs it); the Windows build uses the system's protection.
if(WIN32)
  set(NAVCONFIG_PC_REQUIRES_PRIVATE "")
else()
  set(NAVCONFIG_PC_REQUIRES_PRIVATE "Requires.private: libsodium")
endif()
configure_file(${PROJECT_SOURCE_DIR}/cmake/navconfig.pc.in ${PROJECT_BINARY_DIR}/navconfig.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/navconfig.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)

install(EXPORT navconfigTargets NAMESPACE navconfig:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/navconfig
  COMPONENT dev)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/navconfig-config.cmake.in
  ${PROJECT_BINARY_DIR}/navconfig-config.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/navconfig)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/navconfig-config-version.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/navconfig-config.cmake ${PROJECT_BINARY_DIR}/navconfig-config-version.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/navconfig COMPONENT dev)

# The command-line tool, beside the library it links (its run path finds ../lib).
if(TARGET navconfig_tool)
  install(TARGETS navconfig_tool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tool)
endif()
