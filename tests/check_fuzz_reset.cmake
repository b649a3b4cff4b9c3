# The fuzz target runs many inputs in one process and puts every module variable of the program
# back at its start value before each. Fails when the program has a module variable that the
# target's source never names, so a new one cannot slip past that reset.
file(READ ${SOURCE} source)
set(missing "")
foreach(library IN LISTS LIBRARIES)
  execute_process(COMMAND ${NM} -C --defined-only ${library} OUTPUT_VARIABLE symbols
    RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "nm failed on ${library}")
  endif()
  string(REGEX MATCHALL "[0-9a-f]+ [BD] [^\n]+" variables "${symbols}")
  foreach(entry IN LISTS variables)
    string(REGEX REPLACE "^[0-9a-f]+ [BD] " "" name "${entry}")
    if(name MATCHES "^__")  # the compiler's own, e.g. a sanitizer's
      continue()
    endif()
    string(FIND "${source}" "${name}" at)
    if(at EQUAL -1)
      list(APPEND missing "${name}")
    endif()
  endforeach()
endforeach()
if(missing)
  message(FATAL_ERROR "module variables the fuzz target does not reset: ${missing}")
endif()
