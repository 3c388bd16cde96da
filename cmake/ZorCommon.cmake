# Settings shared by every directory of the project.

# The JDK whose headers we compile against and whose tools build the support classes.
if(DEFINED ENV{ZOR_JDK})
    set(_zor_jdk_default "$ENV{ZOR_JDK}")
else()
    set(_zor_jdk_default "/usr/lib/jvm/java-17-openjdk-amd64")
endif()
set(ZOR_JDK "${_zor_jdk_default}" CACHE PATH "JDK used for jni.h and the Java tools")
if(NOT EXISTS "${ZOR_JDK}/include/jni.h")
    message(FATAL_ERROR "no JDK at ZOR_JDK=${ZOR_JDK} (scripts/deps installs OpenJDK 17)")
endif()

# jni.h comes from the JDK; jni_md.h from the JDK on Linux and from our own copy for Windows,
# since the Linux JDK ships none for Windows.
add_library(zor_jni INTERFACE)
if(ZOR_WINDOWS)
    target_include_directories(zor_jni SYSTEM INTERFACE
        ${CMAKE_SOURCE_DIR}/platform/win32/jni ${ZOR_JDK}/include)
else()
    target_include_directories(zor_jni SYSTEM INTERFACE ${ZOR_JDK}/include ${ZOR_JDK}/include/linux)
endif()

find_program(ZOR_ECJ ecj REQUIRED)
find_program(ZOR_JAVA java PATHS ${ZOR_JDK}/bin NO_DEFAULT_PATH REQUIRED)
find_program(ZOR_JAR jar PATHS ${ZOR_JDK}/bin NO_DEFAULT_PATH REQUIRED)
find_program(ZOR_JAVAC javac PATHS ${ZOR_JDK}/bin NO_DEFAULT_PATH REQUIRED)

# Our own code is held to -Werror on every target.
function(zor_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

# Windows programs carry everything but the system DLLs.
function(zor_static_runtime target)
    if(ZOR_WINDOWS)
        target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
    else()
        target_link_options(${target} PRIVATE -static-libgcc -static-libstdc++)
    endif()
endfunction()

# One wine prefix for the Windows programs of every preset (the linux preset packs and runs
# some too): a fresh prefix takes long to boot, and one persistent wineserver serves them all.
# scripts/wine-run reads it from the cache of the build folder that holds a program.
set(ZOR_WINEPREFIX "${CMAKE_SOURCE_DIR}/build/wineprefix" CACHE PATH
    "WINEPREFIX shared by the Windows test programs of every preset")

# win32 test programs run under the 32-bit wine, which needs a kernel that starts 32-bit
# programs. Where it cannot start, the win32 preset keeps only its static checks and says so
# (scripts/test prints the reason).
set(ZOR_NOT_RUN_REASON "" CACHE INTERNAL "why this preset's programs do not run here")
if(ZOR_TARGET STREQUAL "win32")
    execute_process(COMMAND /usr/lib/wine/wine --version
        RESULT_VARIABLE _zor_wine32 OUTPUT_QUIET ERROR_QUIET)
    if(NOT _zor_wine32 EQUAL 0)
        set(ZOR_RUNS_HERE OFF)
        if(EXISTS /usr/lib/wine/wine)
            set(_zor_reason "this kernel cannot start the 32-bit wine (no support for 32-bit programs)")
        else()
            set(_zor_reason "the 32-bit wine is missing (scripts/deps installs wine32:i386)")
        endif()
        set(ZOR_NOT_RUN_REASON "${_zor_reason}" CACHE INTERNAL "" FORCE)
        message(WARNING "win32 test programs will not run: ${_zor_reason}; only the static checks remain")
    endif()
endif()
