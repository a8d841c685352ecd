# Flags and the function that turns sources into a host-loadable library.
include(GNUInstallDirs)

# Rounding is fixed by the order of operations written in the sources: no
# contraction into fused multiply-adds, no fast-math, no host-specific ISA.
# Every pow is the maths library's: the compiler would otherwise turn
# pow(x, 2.0) into x * x, which can differ from it in the last bit, and only
# when optimising.
set(MATERIAL_FP_FLAGS -ffp-contract=off -fno-fast-math -fno-builtin-pow)

set(MATERIAL_WARNING_FLAGS
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
  -Wdouble-promotion -Wcast-qual -Wold-style-cast -Wundef)
if(MATERIAL_WARNINGS_AS_ERRORS)
  list(APPEND MATERIAL_WARNING_FLAGS -Werror)
endif()

# Warnings for test and tool code: strict, without the arithmetic-conversion
# noise of container sizes.
set(MATERIAL_TEST_WARNING_FLAGS -Wall -Wextra -Wpedantic -Wshadow)
if(MATERIAL_WARNINGS_AS_ERRORS)
  list(APPEND MATERIAL_TEST_WARNING_FLAGS -Werror)
endif()

# The libraries are freestanding apart from the C library and libm: no C++
# runtime, no exceptions, no RTTI, nothing exported but the listed names.
# On Linux the maths functions are bound to the symbol versions of the
# oldest glibc a host may run (common/glibc_baseline.h).
set(MATERIAL_GLIBC_BASELINE "SHELL:-include ${PROJECT_SOURCE_DIR}/common/glibc_baseline.h")
set(MATERIAL_LIBRARY_FLAGS
  $<$<NOT:$<CONFIG:Debug>>:-O2>
  -fno-exceptions -fno-rtti -fno-threadsafe-statics
  -fvisibility=hidden -fvisibility-inlines-hidden
  ${MATERIAL_GLIBC_BASELINE})
# On Linux x86-64 the tests compare each library with a twin built without
# that binding, which calls the current versions.
if(CMAKE_SYSTEM_NAME STREQUAL "Linux" AND CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64"
   AND MATERIAL_BUILD_TESTS)
  set(MATERIAL_CURRENT_GLIBC_TWINS ON)
  set(MATERIAL_CURRENT_GLIBC_DIR ${CMAKE_BINARY_DIR}/current-glibc)
endif()

# Without a package it needs, a part of the build is left out with one line
# that names the Debian package bringing it.
function(material_skip part package debian_package)
  message(STATUS "Skipped: ${part} (${package} not found; Debian package ${debian_package})")
endfunction()

# MATERIAL_SANITIZE (address,undefined or thread, say) instruments every
# target, libraries, tests and tools alike, since a sanitizer has to see the
# whole process. Nothing recovers: the first report fails the run.
set(MATERIAL_SANITIZE "" CACHE STRING "Sanitizers for every target (-fsanitize=)")
if(MATERIAL_SANITIZE)
  add_compile_options(-fsanitize=${MATERIAL_SANITIZE} -fno-sanitize-recover=all
    -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=${MATERIAL_SANITIZE})
endif()

set_property(GLOBAL PROPERTY MATERIAL_LIBRARIES "")

# MinGW-w64 links its own x87 versions of pow, exp, log and sqrt in place of
# msvcrt's. Their results follow the caller's x87 precision control, which is
# 53 bits in a typical Windows host and 64 in a MinGW program, so one DLL
# would give different values in different hosts. An import library for
# these names takes them from msvcrt.dll, as log10 already is. The test
# programs link it too, so that they compute with the same functions.
if(WIN32)
  set(msvcrt_math ${CMAKE_BINARY_DIR}/msvcrt_math)
  file(CONFIGURE OUTPUT ${msvcrt_math}.def
    CONTENT "LIBRARY msvcrt.dll\nEXPORTS\n  pow\n  exp\n  log\n  sqrt\n")
  add_custom_command(OUTPUT ${msvcrt_math}.a
    COMMAND ${CMAKE_DLLTOOL} -d ${msvcrt_math}.def -l ${msvcrt_math}.a
    DEPENDS ${msvcrt_math}.def VERBATIM)
  add_custom_target(msvcrt_math_import DEPENDS ${msvcrt_math}.a)
  add_library(msvcrt_math INTERFACE)
  target_link_libraries(msvcrt_math INTERFACE ${msvcrt_math}.a)
  add_dependencies(msvcrt_math msvcrt_math_import)
endif()

# add_material_library(Name [LINKABLE PUBLIC_INCLUDE_DIR dir] SOURCES src...
#                      EXPORTS sym...)
# Builds libName.so (Name.dll on Windows) from the sources and the shared
# frame in common/, exporting exactly the listed symbols. A host only loads
# it; LINKABLE also lets programs link it: a shared library whose SONAME is
# its file name, with an import library on Windows and the public headers in
# dir. Its own calls to its exported functions bind inside the library, so a
# program's symbol of the same name cannot capture them.
function(add_material_library name)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "LINKABLE" "PUBLIC_INCLUDE_DIR" "SOURCES;EXPORTS")
  # The tests, the host program and the Python package know a library only
  # through its entry in the catalogue.
  get_property(catalogued GLOBAL PROPERTY MATERIAL_CATALOGUE_NAMES)
  if(NOT name IN_LIST catalogued)
    message(FATAL_ERROR "${name}: no host function of that name in common/catalogue.json")
  endif()
  material_library_target(${name} ${ARGN} FLAGS ${MATERIAL_LIBRARY_FLAGS})
  # Every library goes to lib/, where a host loads it by path, on Windows
  # too. A linkable one also installs its headers and joins the export set
  # of its CMake package.
  if(ARG_LINKABLE)
    install(TARGETS ${name} EXPORT ${name}Targets
      LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
      RUNTIME DESTINATION ${CMAKE_INSTALL_LIBDIR}
      ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
    install(DIRECTORY ${ARG_PUBLIC_INCLUDE_DIR}/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
  else()
    install(TARGETS ${name} LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
  endif()
  set_property(GLOBAL APPEND PROPERTY MATERIAL_LIBRARIES ${name})
  # Its twin, current-glibc/libName.so, built only for the tests.
  if(MATERIAL_CURRENT_GLIBC_TWINS)
    set(flags ${MATERIAL_LIBRARY_FLAGS})
    list(REMOVE_ITEM flags "${MATERIAL_GLIBC_BASELINE}")
    material_library_target(${name}_current_glibc ${ARGN} FLAGS ${flags})
    set_target_properties(${name}_current_glibc PROPERTIES EXCLUDE_FROM_ALL ON
      OUTPUT_NAME ${name} LIBRARY_OUTPUT_DIRECTORY ${MATERIAL_CURRENT_GLIBC_DIR})
  endif()
endfunction()

# The target of add_material_library, compiled with FLAGS. WITHOUT_FRAME
# leaves out the entry points of common/: a module of the same build rules
# that is no material library.
function(material_library_target name)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "LINKABLE;WITHOUT_FRAME" "PUBLIC_INCLUDE_DIR"
    "SOURCES;EXPORTS;FLAGS")
  if(ARG_LINKABLE)
    add_library(${name} SHARED ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC
      $<BUILD_INTERFACE:${ARG_PUBLIC_INCLUDE_DIR}> $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
    if(NOT WIN32)
      target_compile_options(${name} PRIVATE -fno-semantic-interposition)
      target_link_options(${name} PRIVATE -Wl,-Bsymbolic)
    endif()
  else()
    add_library(${name} MODULE ${ARG_SOURCES})
  endif()
  if(NOT ARG_WITHOUT_FRAME)
    target_link_libraries(${name} PRIVATE material_frame)
  endif()
  target_compile_options(${name} PRIVATE ${MATERIAL_FP_FLAGS} ${MATERIAL_WARNING_FLAGS} ${ARG_FLAGS})
  # Linking as C keeps libstdc++ out of the needed libraries.
  set_target_properties(${name} PROPERTIES LINKER_LANGUAGE C)
  if(WIN32)
    # Name.dll with exactly the listed exports, undecorated, importing only
    # KERNEL32 and msvcrt: libgcc is linked in, nothing else is exported.
    list(JOIN ARG_EXPORTS "\n  " export_list)
    set(def ${CMAKE_CURRENT_BINARY_DIR}/${name}.def)
    file(CONFIGURE OUTPUT ${def} CONTENT "EXPORTS\n  ${export_list}\n")
    target_sources(${name} PRIVATE ${def})
    set_target_properties(${name} PROPERTIES PREFIX "")
    target_link_options(${name} PRIVATE -static-libgcc -Wl,--exclude-all-symbols)
    target_link_libraries(${name} PRIVATE msvcrt_math)
  else()
    list(JOIN ARG_EXPORTS "; " export_list)
    set(map ${CMAKE_CURRENT_BINARY_DIR}/${name}.map)
    file(CONFIGURE OUTPUT ${map}
      CONTENT "{\n  global: ${export_list};\n  local: *;\n};\n")
    target_link_options(${name} PRIVATE -Wl,--version-script=${map} -Wl,--as-needed)
    # clang leaves a library's sanitizer symbols to the program's runtime.
    if(NOT MATERIAL_SANITIZE)
      target_link_options(${name} PRIVATE -Wl,--no-undefined)
    endif()
    set_target_properties(${name} PROPERTIES LINK_DEPENDS ${map})
    target_link_libraries(${name} PRIVATE m)
  endif()
endfunction()
