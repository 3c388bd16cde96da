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
    if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        # The platform classes hold fields that only the other platform's implementation uses.
        target_compile_options(${target} PRIVATE -Wno-unused-private-field)
    endif()
endfunction()

# Sanitizer builds (presets asan and tsan, clang): every target is compiled with the sanitizers;
# with ZOR_FUZZ also instrumented for libFuzzer, whose targets live in tests/fuzz.
set(ZOR_SANITIZE "" CACHE STRING "sanitizers for every target, e.g. address,undefined")
option(ZOR_FUZZ "build the libFuzzer targets (clang)" OFF)
if(ZOR_SANITIZE)
    add_compile_options(-fsanitize=${ZOR_SANITIZE} -fno-sanitize-recover=all
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=${ZOR_SANITIZE})
endif()
if(ZOR_FUZZ)
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# Windows programs carry everything but the system DLLs.
function(zor_static_runtime target)
    if(ZOR_SANITIZE)
        return() # the sanitizer runtimes expect the shared C++ library
    elseif(ZOR_WINDOWS)
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

# Every target's programs run here: win64 under wine64, win32 under the 32-bit wine, which needs
# a kernel that starts 32-bit programs, or qemu-user registered for them (scripts/with-i386, in
# which scripts/test configures and tests). Where it cannot start, the win32 preset keeps only
# its static checks and says so in not-run-reason.txt of the build folder (scripts/test prints
# it).
set(ZOR_RUNS_HERE ON)
set(_zor_reason "")
if(ZOR_TARGET STREQUAL "win32")
    execute_process(COMMAND /usr/lib/wine/wine --version
        RESULT_VARIABLE _zor_wine32 OUTPUT_QUIET ERROR_QUIET)
    if(NOT _zor_wine32 EQUAL 0)
        set(ZOR_RUNS_HERE OFF)
        find_program(ZOR_QEMU_I386 NAMES qemu-i386 qemu-i386-static NO_CACHE)
        if(EXISTS /usr/lib/wine/wine AND ZOR_QEMU_I386)
            set(_zor_reason "this kernel cannot start the 32-bit wine; configure under scripts/with-i386 to run it under qemu-user")
        elseif(EXISTS /usr/lib/wine/wine)
            set(_zor_reason "this kernel cannot start the 32-bit wine (no support for 32-bit programs)")
        else()
            set(_zor_reason "the 32-bit wine is missing (scripts/deps installs wine32:i386)")
        endif()
        message(WARNING "win32 test programs will not run: ${_zor_reason}; only the static checks remain")
    endif()
endif()
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/not-run-reason.txt CONTENT "${_zor_reason}")
