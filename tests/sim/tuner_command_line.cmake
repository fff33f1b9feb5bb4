# Runs the tuner's executable as a person or a script would, and checks the
# exact exit status and the first line it prints for each case:
# arguments | environment | status | line.
set(cases
  "--help||0|Usage: marlow-vgt-tuner [options]"
  "--version||0|marlow-vgt-tuner 2.21"
  "--simulate,abcd|QT_QPA_PLATFORM=offscreen|2|marlow-vgt-tuner: --simulate takes ktrm or pndx, not abcd"
  "--bogus|QT_QPA_PLATFORM=offscreen|2|marlow-vgt-tuner: Unknown option 'bogus'."
  "--simulate,--trace,/nonexistent/t.txt|QT_QPA_PLATFORM=offscreen|2|marlow-vgt-tuner: cannot write the trace file /nonexistent/t.txt: No such file or directory"
  "--simulate||1|marlow-vgt-tuner: no display to show the window on (DISPLAY is not set)")
foreach(case IN LISTS cases)
  string(REGEX MATCH "^([^|]*)\\|([^|]*)\\|([^|]*)\\|(.*)$" matched "${case}")
  set(args "${CMAKE_MATCH_1}")
  set(env "${CMAKE_MATCH_2}")
  set(status "${CMAKE_MATCH_3}")
  set(line "${CMAKE_MATCH_4}")
  string(REPLACE "," ";" args "${args}")
  execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY --unset=QT_QPA_PLATFORM
                          ${env} ${TUNER} ${args}
                  RESULT_VARIABLE got OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 20)
  # Qt may warn before us (no XDG_RUNTIME_DIR as root): ours is the first line of our own.
  string(REGEX REPLACE "(^|\n)QStandardPaths:[^\n]*" "" first "${out}${err}")
  string(REGEX REPLACE "^\n+" "" first "${first}")
  string(REGEX REPLACE "\n.*" "" first "${first}")
  if(NOT got STREQUAL status OR NOT first STREQUAL line)
    message(FATAL_ERROR "tuner ${args}: status ${got}, first line '${first}'; expected ${status}, '${line}'")
  endif()
endforeach()
