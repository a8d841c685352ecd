# Flags and the one function that turns a source into a host-loadable library.

# Rounding is fixed by the order of operations written in the sources: no
# contraction into fused multiply-adds, no fast-math, no host-specific ISA.
set(MATERIAL_FP_FLAGS -ffp-contract=off -fno-fast-math)

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
set(MATERIAL_LIBRARY_FLAGS
  $<$<NOT:$<CONFIG:Debug>>:-O2>
  -fno-exceptions -fno-rtti -fno-threadsafe-statics
  -fvisibility=hidden -fvisibility-inlines-hidden)

set_property(GLOBAL PROPERTY MATERIAL_LIBRARIES "")

# add_material_library(Name SOURCES src... EXPORTS sym...)
# Builds libName.so (Name.dll on Windows) from the sources and the shared
# frame in common/, exporting exactly the listed symbols.
function(add_material_library name)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "" "SOURCES;EXPORTS")
  add_library(${name} MODULE ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE material_frame)
  target_compile_options(${name} PRIVATE
    ${MATERIAL_FP_FLAGS} ${MATERIAL_WARNING_FLAGS} ${MATERIAL_LIBRARY_FLAGS})
  # Linking as C keeps libstdc++ out of the needed libraries.
  set_target_properties(${name} PROPERTIES LINKER_LANGUAGE C)
  if(WIN32)
    set_target_properties(${name} PROPERTIES PREFIX "")
    target_link_options(${name} PRIVATE -static-libgcc)
  else()
    list(JOIN ARG_EXPORTS "; " export_list)
    set(map ${CMAKE_CURRENT_BINARY_DIR}/${name}.map)
    file(CONFIGURE OUTPUT ${map}
      CONTENT "{\n  global: ${export_list};\n  local: *;\n};\n")
    target_link_options(${name} PRIVATE
      -Wl,--version-script=${map} -Wl,--no-undefined -Wl,--as-needed)
    set_target_properties(${name} PROPERTIES LINK_DEPENDS ${map})
    target_link_libraries(${name} PRIVATE m)
  endif()
  set_property(GLOBAL APPEND PROPERTY MATERIAL_LIBRARIES ${name})
endfunction()
