# What a host program's developer gets: `cmake --install` and the CPack ZIP hold the DLL, its
# import library and .def, the C header, the console host and the README. The 32-bit build
# (preset windows-x86) makes the package to ship.
include(GNUInstallDirs)

install(TARGETS Quenlark
  RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}"
  ARCHIVE DESTINATION "${CMAKE_INSTALL_LIBDIR}")  # lib/libQuenlark.dll.a, made from the .def
install(FILES "${PROJECT_BINARY_DIR}/src/Quenlark.def" DESTINATION "${CMAKE_INSTALL_LIBDIR}")
install(FILES "${PROJECT_SOURCE_DIR}/include/quenlark.h" DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}")
install(TARGETS quenlark RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
install(FILES "${PROJECT_SOURCE_DIR}/README.md" DESTINATION .)

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(CPACK_SYSTEM_NAME win32)
else()
  set(CPACK_SYSTEM_NAME win64)
endif()
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Quenlark)
set(CPACK_PACKAGE_VENDOR "Quenlark")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Resolves share links to direct links; reports where a URL redirects")
set(CPACK_PACKAGE_FILE_NAME "Quenlark-${PROJECT_VERSION}-${CPACK_SYSTEM_NAME}")
set(CPACK_PACKAGE_DIRECTORY "${PROJECT_BINARY_DIR}/package")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
