# Fails when PROGRAM links Qt Widgets.
#   cmake -DPROGRAM=build/bin/clarivex-cli -P check_no_widgets.cmake
execute_process(COMMAND ldd ${PROGRAM} OUTPUT_VARIABLE libraries RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "ldd ${PROGRAM} failed")
endif()
if(libraries MATCHES "libQt6(Widgets)[^ ]*")
    message(FATAL_ERROR "${PROGRAM} links ${CMAKE_MATCH_0}")
endif()
message(STATUS "${PROGRAM} links no widgets")
