# The portable Linux stub: built by zig's clang against glibc 2.17 symbols, with zlib and the
# C++ runtime linked in, so one file starts on the distributions users still run.
set(ZOR_PORTABLE_STUB ON)
set(CMAKE_C_COMPILER ${CMAKE_CURRENT_LIST_DIR}/zig/zig-cc)
set(CMAKE_CXX_COMPILER ${CMAKE_CURRENT_LIST_DIR}/zig/zig-c++)
# Nothing links while CMake configures: zig builds its C library, compiler runtime and C++
# runtime for the target at the first link of each kind (minutes on two cores), and the
# checks' non-PIE programs would want another build than the stub's. With a target named,
# CMake identifies the compilers from objects; the other checks build static libraries.
set(CMAKE_C_COMPILER_TARGET x86_64-linux-gnu.2.17)
set(CMAKE_CXX_COMPILER_TARGET x86_64-linux-gnu.2.17)
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
# The stub ships to users: no symbols.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-s")
# Debian's static zlib, with its two headers copied apart: /usr/include itself would put the
# build machine's glibc headers in front of zig's.
set(ZLIB_LIBRARY /usr/lib/x86_64-linux-gnu/libz.a CACHE FILEPATH "")
file(COPY /usr/include/zlib.h /usr/include/zconf.h DESTINATION ${CMAKE_BINARY_DIR}/zlib-include)
set(ZLIB_INCLUDE_DIR ${CMAKE_BINARY_DIR}/zlib-include CACHE PATH "")
# Likewise the X11 headers of the splash window (libX11 itself is loaded at run time).
file(COPY /usr/include/X11 DESTINATION ${CMAKE_BINARY_DIR}/x11-include)
set(CMAKE_CXX_FLAGS_INIT "-isystem ${CMAKE_BINARY_DIR}/x11-include")
