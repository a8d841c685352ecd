# Turns the catalogue of host functions (common/catalogue.json, which the
# Python package reads too) into C++, so that each argument, unit, default,
# range and message is written once: the initializer of the host program's
# std::vector<Entry>, and the table of facts the tests and benchmarks read.
# Runs when the build is configured; editing the JSON reconfigures.
#   material_catalogue(JSON_FILE OUTPUT_FILE)

# A C++ string literal for a JSON string.
function(_catalogue_literal out text)
  string(REPLACE "\\" "\\\\" text "${text}")
  string(REPLACE "\"" "\\\"" text "${text}")
  set(${out} "\"${text}\"" PARENT_SCOPE)
endfunction()

# The member `key` of the JSON object `json` as C++ source: a literal for a
# string, the 17-digit text CMake gives for a number, true/false for a
# boolean, and `absent` where the member is missing or null.
function(_catalogue_value out json key absent)
  string(JSON type ERROR_VARIABLE missing TYPE "${json}" ${key})
  if(missing OR type STREQUAL "NULL")
    set(${out} "${absent}" PARENT_SCOPE)
    return()
  endif()
  string(JSON value GET "${json}" ${key})
  if(type STREQUAL "STRING")
    _catalogue_literal(value "${value}")
  elseif(type STREQUAL "BOOLEAN")
    if(value)
      set(value true)
    else()
      set(value false)
    endif()
  elseif(NOT type STREQUAL "NUMBER")
    message(FATAL_ERROR "catalogue: ${key} is a ${type}")
  endif()
  set(${out} "${value}" PARENT_SCOPE)
endfunction()

# A Limit: {value, inclusive, message}, or {} for no limit on that side.
function(_catalogue_limit out argument side)
  string(JSON limit ERROR_VARIABLE missing GET "${argument}" ${side})
  if(missing)
    set(${out} "{}" PARENT_SCOPE)
    return()
  endif()
  _catalogue_value(value "${limit}" value "")
  _catalogue_value(inclusive "${limit}" inclusive "")
  _catalogue_value(message "${limit}" message "")
  set(${out} "{${value}, ${inclusive}, ${message}}" PARENT_SCOPE)
endfunction()

# The index of the last element of the JSON array `array`.
function(_catalogue_last out array)
  string(JSON length LENGTH "${array}")
  math(EXPR last "${length} - 1")
  set(${out} ${last} PARENT_SCOPE)
endfunction()

# The host functions of the catalogue `json_file` (a JSON array) and the
# index of the last; editing the file reconfigures.
function(_catalogue_functions functions_out last_out json_file)
  file(READ ${json_file} catalogue)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${json_file})
  string(JSON functions GET "${catalogue}" functions)
  _catalogue_last(last "${functions}")
  set(${functions_out} "${functions}" PARENT_SCOPE)
  set(${last_out} ${last} PARENT_SCOPE)
endfunction()

function(material_catalogue json_file output_file)
  _catalogue_functions(functions last_function ${json_file})
  set(text "// Generated from ${json_file} by cmake/Catalogue.cmake: edit the JSON.\n")
  foreach(f RANGE ${last_function})
    string(JSON entry GET "${functions}" ${f})
    foreach(key name computes result result_unit)
      _catalogue_value(${key} "${entry}" ${key} "")
    endforeach()
    string(APPEND text "{${name}, ${computes}, ${result}, ${result_unit},\n {\n")
    string(JSON arguments GET "${entry}" arguments)
    string(JSON sweep GET "${entry}" sweep)
    string(JSON swept GET "${sweep}" argument)
    _catalogue_last(last_argument "${arguments}")
    set(swept_index "")
    foreach(a RANGE ${last_argument})
      string(JSON argument GET "${arguments}" ${a})
      string(JSON argument_name GET "${argument}" name)
      if(argument_name STREQUAL swept)
        set(swept_index ${a})
      endif()
      foreach(key name unit default meaning)
        _catalogue_value(${key} "${argument}" ${key} "")
      endforeach()
      _catalogue_limit(lowest "${argument}" lowest)
      _catalogue_limit(highest "${argument}" highest)
      string(JSON meaningful ERROR_VARIABLE missing GET "${argument}" meaningful)
      if(missing)
        set(meaningful "-unbounded, unbounded, nullptr")
      else()
        _catalogue_value(from "${meaningful}" from "")
        _catalogue_value(to "${meaningful}" to "")
        _catalogue_value(note "${meaningful}" note "")
        set(meaningful "${from}, ${to}, ${note}")
      endif()
      string(APPEND text "  {${name}, ${unit}, ${default}, ${meaning},\n"
                         "   ${lowest}, ${highest}, ${meaningful}},\n")
    endforeach()
    if(swept_index STREQUAL "")
      message(FATAL_ERROR "catalogue: ${name} sweeps no argument of its own (${swept})")
    endif()
    foreach(key from to log result_log)
      _catalogue_value(sweep_${key} "${sweep}" ${key} "")
    endforeach()
    string(APPEND text " },\n {${swept_index}, ${sweep_from}, ${sweep_to}, ${sweep_log}, "
                       "${sweep_result_log}}},\n")
  endforeach()
  # Rewritten only when it changes, so an unchanged catalogue rebuilds nothing.
  file(WRITE ${output_file}.new "${text}")
  configure_file(${output_file}.new ${output_file} COPYONLY)
endfunction()

# The facts of each host function that the programs checking the libraries
# read (the tests, the fuzzers and the benchmarks): name, messages, argument
# count, limits, breakpoints, whether it has output tests and what
# return_test_yaml gives, with the file this build makes for its library.
# The initializer of common/catalogue_facts.hpp's table, and a reference to
# each entry by its host function name. Written when the build is generated,
# once the libraries' targets, and so their file names, are known; the names
# go to the global property MATERIAL_CATALOGUE_NAMES.
#   material_catalogue_facts(JSON_FILE OUTPUT_FILE)
function(material_catalogue_facts json_file output_file)
  _catalogue_functions(functions last_function ${json_file})
  set(references "")
  string(CONCAT text "// Generated from ${json_file} by cmake/Catalogue.cmake: edit the JSON.\n"
    "namespace catalogue {\n\n"
    "inline const std::vector<HostFunction>& host_functions() {\n"
    "  static const std::vector<HostFunction> table = {\n")
  foreach(f RANGE ${last_function})
    string(JSON entry GET "${functions}" ${f})
    string(JSON target GET "${entry}" name)
    set_property(GLOBAL APPEND PROPERTY MATERIAL_CATALOGUE_NAMES ${target})
    string(APPEND references "inline const HostFunction& ${target} = host_functions()[${f}];\n")
    foreach(key name name_message count_message output_tests)
      _catalogue_value(${key} "${entry}" ${key} "")
    endforeach()
    _catalogue_value(test_yaml "${entry}" return_test_yaml nullptr)
    string(APPEND text "  {${name}, \"$<TARGET_FILE_NAME:${target}>\", ${name_message}, "
                       "${count_message}, ${output_tests}, ${test_yaml},\n   {\n")
    string(JSON arguments GET "${entry}" arguments)
    _catalogue_last(last_argument "${arguments}")
    foreach(a RANGE ${last_argument})
      string(JSON argument GET "${arguments}" ${a})
      _catalogue_value(argument_name "${argument}" name "")
      _catalogue_limit(lowest "${argument}" lowest)
      _catalogue_limit(highest "${argument}" highest)
      _catalogue_value(nan_refused "${argument}" nan_refused false)
      set(breakpoints "")
      string(JSON pieces ERROR_VARIABLE missing GET "${argument}" pieces breakpoints)
      if(NOT missing)
        _catalogue_last(last_breakpoint "${pieces}")
        foreach(b RANGE ${last_breakpoint})
          _catalogue_value(breakpoint "${pieces}" ${b} "")
          list(APPEND breakpoints ${breakpoint})
        endforeach()
        list(JOIN breakpoints ", " breakpoints)
      endif()
      string(APPEND text "    {${argument_name}, ${lowest}, ${highest}, ${nan_refused}, "
                         "{${breakpoints}}},\n")
    endforeach()
    string(APPEND text "   }},\n")
  endforeach()
  string(APPEND text "  };\n  return table;\n}\n\n${references}\n}  // namespace catalogue\n")
  file(GENERATE OUTPUT ${output_file} CONTENT "${text}")
endfunction()

# The entry points each host function's library exports: init, getLastError
# and eval, and return_test_yaml where the catalogue gives its text. Set as
# <PREFIX><name> in the caller's scope.
#   material_catalogue_entry_points(JSON_FILE PREFIX)
function(material_catalogue_entry_points json_file prefix)
  _catalogue_functions(functions last_function ${json_file})
  foreach(f RANGE ${last_function})
    string(JSON name GET "${functions}" ${f} name)
    string(JSON test_yaml TYPE "${functions}" ${f} return_test_yaml)
    set(entry_points init getLastError eval)
    if(NOT test_yaml STREQUAL "NULL")
      list(APPEND entry_points return_test_yaml)
    endif()
    set(${prefix}${name} ${entry_points} PARENT_SCOPE)
  endforeach()
endfunction()
