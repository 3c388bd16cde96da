# Compiles the support classes and packs them into the support archive.
# cmake -DECJ=<ecj> -DJDK=<jdk home> -DZIP=<zip> -DSOURCE_DIR=<java/src> -DWORK_DIR=<scratch>
#       -DOUTPUT=<jar> -P BuildSupportJar.cmake
#
# The archive must be the same bytes on every build: fixed time stamps (written in UTC, since
# zip stores local DOS time), fixed permissions, no extra fields (zip -X), no folder entries
# (zip -D), and the entries in the order the launcher expects.
cmake_minimum_required(VERSION 3.25)
foreach(var ECJ JDK ZIP SOURCE_DIR WORK_DIR OUTPUT)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "BuildSupportJar.cmake: ${var} is not set")
    endif()
endforeach()

set(package com/tarnwick/zor)
set(classes ${WORK_DIR}/classes)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${classes})

# No debugging attributes. Handler and SplashScreen stay at class-file version 45.3; the class
# loader needs 46.0, the first version with the ClassLoader methods it overrides.
function(compile target)
    execute_process(
        COMMAND ${ECJ} -source 1.3 -target ${target} -g:none -encoding UTF-8
                --system ${JDK} -d ${classes} ${ARGN}
        WORKING_DIRECTORY ${SOURCE_DIR}
        RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "ecj failed (${rc}) on ${ARGN}")
    endif()
endfunction()
compile(1.1 ${package}/Handler.java ${package}/SplashScreen.java)
compile(1.2 ${package}/LumbrixClassLoader.java)

set(entries
    ${package}/LumbrixClassLoader.class
    ${package}/Handler.class
    ${package}/Handler$1.class
    ${package}/SplashScreen.class)
# Anything else ecj wrote (another inner class, say) would be left out of the archive silently.
file(GLOB_RECURSE written RELATIVE ${classes} ${classes}/*)
list(SORT written)
set(expected ${entries})
list(SORT expected)
if(NOT written STREQUAL expected)
    message(FATAL_ERROR "ecj wrote '${written}', expected '${expected}'")
endif()

foreach(entry IN LISTS entries)
    file(CHMOD ${classes}/${entry} PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endforeach()
execute_process(
    COMMAND ${CMAKE_COMMAND} -E env TZ=UTC touch -d "1980-01-01 00:00:00" ${entries}
    WORKING_DIRECTORY ${classes}
    RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "touch failed (${rc})")
endif()

set(partial ${WORK_DIR}/support.jar)
execute_process(
    COMMAND ${CMAKE_COMMAND} -E env TZ=UTC ${ZIP} -X -D -9 ${partial} ${entries}
    WORKING_DIRECTORY ${classes}
    RESULT_VARIABLE rc
    OUTPUT_VARIABLE log)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "zip failed (${rc}): ${log}")
endif()
# zip stores an entry that does not shrink; the launcher's archive must be deflated throughout.
if(log MATCHES "\\(stored ")
    message(FATAL_ERROR "zip stored an entry instead of deflating it:\n${log}")
endif()
file(COPY_FILE ${partial} ${OUTPUT})
