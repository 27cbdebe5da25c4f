# Debian packages from one build, with CPack's DEB generator (`make package`, or `cpack -G DEB` in the build
# folder):
#   libnavconfig1     the shared library (install component runtime)
#   libnavconfig-dev  headers, the libnavconfig.so link, the pkg-config and CMake files (component dev)
#   navconfig         the tool, its manual page and bash completion (component tool)
# The install rules name the components (cmake/Install.cmake, tools/CMakeLists.txt); each package also carries
# the copyright file and the Debian changelog in its /usr/share/doc folder, as Debian's tools expect. The
# packages install below /usr, so the build must be configured with that prefix (the package preset is, as the
# release preset), which also gives the multiarch library folder (lib/x86_64-linux-gnu). A library installed for
# every user of the machine keeps each user's settings in their own folders (NAVCONFIG_USER_FOLDERS, which the
# package preset sets); `make package` builds from that preset.
if(NOT CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  message(STATUS "Debian packages: not offered, since the install prefix is ${CMAKE_INSTALL_PREFIX}, not /usr")
  return()
endif()

set(NAVCONFIG_DEB_MAINTAINER "navconfig maintainers <maintainers@users.noreply.c-seed-38afb87e.example>")
set(NAVCONFIG_DEB_DIR ${PROJECT_SOURCE_DIR}/packaging)

# The packages' version is the project's with the Debian revision of the changelog's latest entry, which must
# be an entry for this version.
file(STRINGS ${NAVCONFIG_DEB_DIR}/changelog NAVCONFIG_DEB_LATEST LIMIT_COUNT 1)
if(NOT NAVCONFIG_DEB_LATEST MATCHES "^navconfig \\(${PROJECT_VERSION}-([0-9]+)\\) ")
  message(FATAL_ERROR "packaging/changelog: the latest entry is '${NAVCONFIG_DEB_LATEST}'; add one for version "
                      "${PROJECT_VERSION} (the Debian packages take their revision from it)")
endif()
set(NAVCONFIG_DEB_REVISION ${CMAKE_MATCH_1})

# The changelog is installed compressed without a time stamp, so that the same sources give the same package.
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/deb/changelog.Debian.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/deb
  COMMAND ${CMAKE_COMMAND} -E copy ${NAVCONFIG_DEB_DIR}/changelog ${PROJECT_BINARY_DIR}/deb/changelog.Debian
  COMMAND gzip -9nf ${PROJECT_BINARY_DIR}/deb/changelog.Debian
  DEPENDS ${NAVCONFIG_DEB_DIR}/changelog)
add_custom_target(navconfig_deb_changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/deb/changelog.Debian.gz)

set(NAVCONFIG_SONAME_PACKAGE libnavconfig${PROJECT_VERSION_MAJOR})
foreach(pair runtime:${NAVCONFIG_SONAME_PACKAGE} dev:libnavconfig-dev tool:navconfig)
  string(REPLACE ":" ";" pair ${pair})
  list(GET pair 0 component)
  list(GET pair 1 package)
  install(FILES ${NAVCONFIG_DEB_DIR}/copyright ${PROJECT_BINARY_DIR}/deb/changelog.Debian.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
  string(TOUPPER ${component} COMPONENT)
  set(CPACK_DEBIAN_${COMPONENT}_PACKAGE_NAME ${package})
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME navconfig)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime dev tool)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
# The packages' files, less the tool's run path (a packaged tool finds the library in the system's folder).
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/PackageStaging.cmake)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${NAVCONFIG_DEB_REVISION})
set(CPACK_DEBIAN_PACKAGE_SOURCE navconfig)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${NAVCONFIG_DEB_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends from dpkg-shlibdeps (libc, libstdc++, libsodium); the tool's use of libnavconfig.so.1 is resolved in
# the build folder, and the exact version of libnavconfig1 is required by the component dependencies below.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/src/api)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
# The dynamic linker's cache is brought up to date by libc's ldconfig trigger alone. CPack writes a postinst and a
# postrm that call ldconfig into the library's package besides; they are taken out again once it is built
# (PackageScripts.cmake): Debian asks for the trigger instead, and a package with a postrm stays half-removed
# (dpkg's "rc" state) after dpkg -r until it is purged.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${NAVCONFIG_DEB_DIR}/triggers)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/PackageScripts.cmake)
# The control files get Debian's modes (0644, scripts 0755) whatever mode the checkout gave their sources (a tree
# unpacked from git archive has 0664).
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# A pkg-config file that requires other packages (Requires, Requires.private) needs their .pc files even for
# --cflags: libnavconfig-dev then depends on the Debian packages that hold them.
file(STRINGS ${PROJECT_BINARY_DIR}/navconfig.pc NAVCONFIG_PC_REQUIRES REGEX "^Requires")
if(NAVCONFIG_PC_REQUIRES MATCHES "libsodium")
  set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS libsodium-dev)
endif()

set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_TOOL_PACKAGE_SECTION utils)
set(NAVCONFIG_DEB_ABOUT
  "navconfig is the configuration library of a navigation application. It keeps\n"
  "the application's settings in layered plain-text .cfg files over a built-in\n"
  "catalogue of defaults, and knows where the application's files and installed\n"
  "map data live.\n\n")
string(CONCAT CPACK_DEBIAN_RUNTIME_DESCRIPTION
  "configuration library of a navigation application\n" ${NAVCONFIG_DEB_ABOUT}
  "This package contains the shared library.")
string(CONCAT CPACK_DEBIAN_DEV_DESCRIPTION
  "configuration library of a navigation application - development files\n" ${NAVCONFIG_DEB_ABOUT}
  "This package contains the C and C++ headers, the pkg-config file and the CMake\n"
  "package (navconfig::navconfig) for building programs against the library.")
string(CONCAT CPACK_DEBIAN_TOOL_DESCRIPTION
  "see and change a navigation application's settings and map data\n" ${NAVCONFIG_DEB_ABOUT}
  "This package contains the navconfig command-line tool: it reads and writes\n"
  "settings, lists the catalogue, the directory table and the installed map\n"
  "sets, and checks .cfg files. With its manual page and bash completion.")

include(CPack)
cpack_add_component(runtime)
cpack_add_component(dev DEPENDS runtime)
cpack_add_component(tool DEPENDS runtime)
