# Runs marlow-vgt as a script would and checks the exact exit status and the
# first line it prints for each case: arguments | status | line.
file(REMOVE ${WORK}/log.csv ${WORK}/received.dat ${WORK}/cut.csv ${WORK}/ended.csv)
set(cases
  "--version|0|marlow-vgt 2.21"
  "--help|0|Usage: marlow-vgt [options] <command> [arguments]"
  "--simulate,list|0|0  KTRM  virtual  may open"
  "--simulate,receive,${WORK}/received.dat|0|Save Complete"
  "receive,${WORK}/received.dat,--simulate|2|marlow-vgt: ${WORK}/received.dat is there already, and receive writes over it only with --force"
  "receive,--simulate,${WORK}/received.dat,--force|0|Save Complete"
  "diff,${WORK}/received.dat,${EXAMPLES}/factory-calibration.dat|0|No differences"
  "--simulate,send,--verify,${EXAMPLES}/towing-calibration.dat|0|Download Complete"
  "list,--bogus|2|marlow-vgt: Unknown option 'bogus'."
  "--simulate,--instance,1,version|3|marlow-vgt: No module found on USB"
  "--simulate,pndx,verify,${EXAMPLES}/factory-calibration.dat|1|marlow-vgt: KTRM not found"
  "--simulate,log,--duration,0.5,--csv,${WORK}/log.csv|0|  time s    RPM load %  user  at idle exh brake     cell"
  "--simulate,log,--duration,0.5,--csv,${WORK}/log.csv|2|marlow-vgt: ${WORK}/log.csv: the log writes only a new file, and this one is there already")
foreach(case IN LISTS cases)
  string(REGEX MATCH "^([^|]*)\\|([^|]*)\\|(.*)$" matched "${case}")
  string(REPLACE "," ";" args "${CMAKE_MATCH_1}")
  set(status "${CMAKE_MATCH_2}")
  set(line "${CMAKE_MATCH_3}")
  execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY ${TOOL} ${args}
                  RESULT_VARIABLE got OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 20)
  string(REGEX REPLACE "\n.*" "" first "${out}${err}")
  if(NOT got STREQUAL status OR NOT first STREQUAL line)
    message(FATAL_ERROR "marlow-vgt ${args}: status ${got}, first line '${first}'; expected ${status}, '${line}'")
  endif()
endforeach()

# The response to the reflash key comes on standard input when it is no terminal.
file(WRITE ${WORK}/image.s19 "S1134000000102030405060708090A0B0C0D0E0F00\r\n")
file(WRITE ${WORK}/response.txt "0\n")
execute_process(COMMAND ${TOOL} --simulate flash ${WORK}/image.s19 INPUT_FILE ${WORK}/response.txt
                RESULT_VARIABLE got ERROR_VARIABLE err TIMEOUT 20)
if(NOT got EQUAL 1 OR NOT err MATCHES "^Enter password for key of [0-9]+\nmarlow-vgt: The response does not belong to key [0-9]+; nothing was sent.\n$")
  message(FATAL_ERROR "marlow-vgt flash with a wrong response: status ${got}, '${err}'")
endif()

# Every row reaches the file whole and the screen as it is taken: when Ctrl+C
# cuts a log short, and when the process is killed.
foreach(case "cut.csv;INT;--duration;5;5" "ended.csv;KILL;Subprocess killed")
  list(POP_FRONT case file signal)
  list(POP_BACK case status)
  execute_process(COMMAND timeout --preserve-status -s ${signal} 2 ${TOOL} --simulate log --csv ${WORK}/${file} ${case}
                  RESULT_VARIABLE got OUTPUT_VARIABLE shown ERROR_QUIET TIMEOUT 20)
  file(READ ${WORK}/${file} csv)
  if(NOT got STREQUAL status OR NOT shown MATCHES "\n   0[.]000 +750 " OR NOT csv MATCHES "^time_s,[^\n]*\n([0-9]\\.[0-9]+,[0-9]+,[0-9]+,[0-9]+,[01],[01],map,[0-9]+,[0-9]+\n)+$")
    message(FATAL_ERROR "marlow-vgt log ended by SIG${signal}: status ${got}, file '${csv}'; expected ${status}")
  endif()
endforeach()

execute_process(COMMAND readelf -d ${TOOL} OUTPUT_VARIABLE dynamic RESULT_VARIABLE got)
if(NOT got EQUAL 0 OR NOT dynamic MATCHES "Qt6Core")
  message(FATAL_ERROR "readelf -d ${TOOL} failed or lists no Qt6Core: ${got}")
endif()
string(REGEX MATCHALL "NEEDED[^\n]*\\[[^]]*(Qt6Gui|Qt6Widgets|Qt6OpenGL|libGL|libEGL|libOpenGL)[^]]*\\]" display "${dynamic}")
if(display)
  message(FATAL_ERROR "marlow-vgt needs display libraries: ${display}")
endif()
