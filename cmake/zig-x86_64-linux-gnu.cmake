# The portable Linux stub: built by zig's clang against glibc 2.17 symbols, with zlib and the
# C++ runtime linked in, so one file starts on the distributions users still run.
set(ZOR_PORTABLE_STUB ON)
set(CMAKE_C_COMPILER ${CMAKE_CURRENT_LIST_DIR}/zig/zig-cc)
set(CMAKE_CXX_COMPILER ${CMAKE_CURRENT_LIST_DIR}/zig/zig-c++)
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
