# page_example(PAGE LANGUAGE FILE): the first ```LANGUAGE block of the
# Markdown page PAGE, written to FILE in the build folder, so that a
# consumer builds the very program the page shows. Configuring again follows
# an edit of the page.
function(page_example page language file)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${page})
  file(READ ${page} text)
  set(fence "\n```${language}\n")
  string(FIND "${text}" "${fence}" start)
  if(start LESS 0)
    message(FATAL_ERROR "${page} has no ${language} example")
  endif()
  string(LENGTH "${fence}" fence_length)
  math(EXPR start "${start} + ${fence_length}")
  string(SUBSTRING "${text}" ${start} -1 text)
  string(FIND "${text}" "\n```" length)
  string(SUBSTRING "${text}" 0 ${length} example)
  file(CONFIGURE OUTPUT ${file} CONTENT "${example}\n" @ONLY)
endfunction()
