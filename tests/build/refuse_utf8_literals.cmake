# Configures the project with this build's own compiler behind a wrapper that
# drops the execution charset, as a compiler without CP932 would: configuring
# must stop and say why, naming GCC.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(WRITE ${WORK}/utf8-c++ "#!/bin/sh\n"
     "for a; do shift; case \"$a\" in -fexec-charset=*) ;; *) set -- \"$@\" \"$a\" ;; esac; done\n"
     "exec '${COMPILER}' \"$@\"\n")
file(CHMOD ${WORK}/utf8-c++ PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE} -B ${WORK}/build -G ${GENERATOR}
                        -DCMAKE_CXX_COMPILER=${WORK}/utf8-c++ -DCMAKE_CXX_COMPILER_LAUNCHER=
                RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
file(REMOVE_RECURSE ${WORK})
if(result EQUAL 0)
  message(FATAL_ERROR "configuring with a compiler that writes UTF-8 literals succeeded:\n${out}${err}")
endif()
string(REPLACE "\n" " " said "${err}")
string(REGEX REPLACE " +" " " said "${said}")
if(NOT said MATCHES "cannot write the program's string literals as Shift-JIS" OR NOT said MATCHES "Build with GCC")
  message(FATAL_ERROR "configuring stopped without saying why:\n${out}${err}")
endif()
