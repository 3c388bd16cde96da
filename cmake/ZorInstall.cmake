# Installation and the Debian package, from the linux preset: zorpack in bin/, and beside it,
# under lib/zor/, where zorpack looks for them, the support archive and the stubs of every
# target. The Windows stubs come from the win64 and win32 build folders, which must be built
# first (ZOR_WINDOWS_BUILD_DIR holds them).
include(GNUInstallDirs)
set(ZOR_WINDOWS_BUILD_DIR "${CMAKE_SOURCE_DIR}/build" CACHE PATH
    "folder holding the win64/ and win32/ build folders whose stubs are installed")
set(_zor_lib lib/zor)

install(TARGETS zorpack RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The portable stub when the build makes one (it runs on older distributions), else the native.
if(DEFINED ZOR_PORTABLE_STUB_FILE)
    install(PROGRAMS ${ZOR_PORTABLE_STUB_FILE} DESTINATION ${_zor_lib}/stubs/linux)
else()
    install(PROGRAMS $<TARGET_FILE:zor-launcher> DESTINATION ${_zor_lib}/stubs/linux)
endif()
install(FILES ${ZOR_SUPPORT_JAR} DESTINATION ${_zor_lib})
foreach(_target win64 win32)
    set(_stub ${ZOR_WINDOWS_BUILD_DIR}/${_target}/zor-launcher.exe)
    install(FILES ${_stub} DESTINATION ${_zor_lib}/stubs/${_target} OPTIONAL)
    install(CODE "if(NOT EXISTS \"${_stub}\")
        message(WARNING \"${_stub} is not built: zorpack will not pack for ${_target}\")
    endif()")
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "packs a Java application into one executable")
set(CPACK_PACKAGE_CONTACT "zor developers <zor@localhost>")
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libzip4, libexpat1")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
include(CPack)
