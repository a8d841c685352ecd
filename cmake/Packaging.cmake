# What `cmake --install` lays out, the files a program uses to link Orvandel,
# and the archives CPack makes: a .tar.gz of a Linux build, a .zip of a
# Windows build.
#
#   lib/                      the seven libraries (a host loads them by path)
#   lib/cmake/Orvandel/       find_package(Orvandel) -> Orvandel::Orvandel
#   lib/cmake/MaterialHostApi/
#                             find_package(MaterialHostApi)
#                             -> MaterialHostApi::host_api
#   lib/pkgconfig/            orvandel.pc, material-host-api.pc
#   include/                  Orvandel's header, the host API's header
#   bin/                      the host program
#   share/doc/<project>/      README (with the table of libraries), LICENSE,
#                             and docs/, the plots and reports it links
#
# Both package files find the prefix relative to where they lie, so an
# unpacked archive works wherever it is put. The add_material_library rule
# installs each library; this file adds the rest once every target exists.
include(CMakePackageConfigHelpers)

if(TARGET materials)
  install(TARGETS materials RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

install(FILES README.md LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
# docs/ beside it as in the checkout: the README's links to its plots and
# reports, and theirs, hold where it is installed.
install(DIRECTORY docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)

# pkg-config files: the prefix relative to ${pcfiledir}.
set(pkgconfig_dir ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
file(RELATIVE_PATH pkgconfig_to_prefix /${pkgconfig_dir} /)
string(REGEX REPLACE "/$" "" pkgconfig_to_prefix ${pkgconfig_to_prefix})
# 0.x: a new minor version may change an interface.
set(package_compatibility SameMinorVersion)

# The host API, for programs that load any library by file name as a host
# does: its header, its target, and where the libraries lie.
set(host_api_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/MaterialHostApi)
install(FILES host-api/material_host_api.hpp DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS material_host_api EXPORT MaterialHostApiTargets)
install(EXPORT MaterialHostApiTargets NAMESPACE MaterialHostApi::
  DESTINATION ${host_api_cmake_dir})
configure_package_config_file(cmake/MaterialHostApiConfig.cmake.in
  ${PROJECT_BINARY_DIR}/MaterialHostApiConfig.cmake
  INSTALL_DESTINATION ${host_api_cmake_dir} PATH_VARS CMAKE_INSTALL_LIBDIR)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/MaterialHostApiConfigVersion.cmake
  COMPATIBILITY ${package_compatibility})
install(FILES ${PROJECT_BINARY_DIR}/MaterialHostApiConfig.cmake
  ${PROJECT_BINARY_DIR}/MaterialHostApiConfigVersion.cmake
  DESTINATION ${host_api_cmake_dir})
list(TRANSFORM CMAKE_DL_LIBS PREPEND -l OUTPUT_VARIABLE host_api_libs)
configure_file(cmake/material-host-api.pc.in ${PROJECT_BINARY_DIR}/material-host-api.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/material-host-api.pc DESTINATION ${pkgconfig_dir})

# Orvandel is also a library programs link; the host-only libraries are not.
if(TARGET Orvandel)
  set(orvandel_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/Orvandel)
  install(EXPORT OrvandelTargets NAMESPACE Orvandel::
    DESTINATION ${orvandel_cmake_dir})
  configure_package_config_file(cmake/OrvandelConfig.cmake.in
    ${PROJECT_BINARY_DIR}/OrvandelConfig.cmake
    INSTALL_DESTINATION ${orvandel_cmake_dir})
  write_basic_package_version_file(${PROJECT_BINARY_DIR}/OrvandelConfigVersion.cmake
    COMPATIBILITY ${package_compatibility})
  install(FILES ${PROJECT_BINARY_DIR}/OrvandelConfig.cmake
    ${PROJECT_BINARY_DIR}/OrvandelConfigVersion.cmake
    DESTINATION ${orvandel_cmake_dir})

  configure_file(cmake/orvandel.pc.in ${PROJECT_BINARY_DIR}/orvandel.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/orvandel.pc DESTINATION ${pkgconfig_dir})
else()
  message(STATUS "No Orvandel in this tree: no CMake or pkg-config package")
endif()

set(CPACK_PACKAGE_VENDOR "the material libraries authors")
# The archives and CPack's scratch folder go into the build folder, wherever
# cpack runs (-B still chooses another).
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Material-function libraries for finite-element simulation hosts")
if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR TGZ)
endif()
include(CPack)
