# What a host program's developer gets: `cmake --install` and the CPack ZIP hold the DLL, its
# import libraries (mingw-w64 and MSVC format) and .def, the C header, the CMake package files,
# the console host and the README. The 32-bit build (preset windows-x86) makes the package to ship.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# Quenlark.lib for MSVC-ABI linkers (Visual C++'s link, lld-link), made from the .def like
# libQuenlark.dll.a. On x86 the .def names the stdcall symbols (_HttpGetUrl@4) and -k makes
# them import the undecorated names that the DLL exports.
find_program(QUENLARK_LLVM_DLLTOOL NAMES llvm-dlltool llvm-dlltool-14 REQUIRED)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(quenlark_dlltool_machine -m i386 -k)
else()
  set(quenlark_dlltool_machine -m i386:x86-64)
endif()
set(quenlark_msvc_implib "${CMAKE_BINARY_DIR}/lib/Quenlark.lib")
add_custom_command(OUTPUT "${quenlark_msvc_implib}"
  COMMAND "${CMAKE_COMMAND}" -E make_directory "${CMAKE_BINARY_DIR}/lib"
  COMMAND "${QUENLARK_LLVM_DLLTOOL}" ${quenlark_dlltool_machine} -d "${PROJECT_BINARY_DIR}/src/Quenlark.def"
          -l "${quenlark_msvc_implib}" -D Quenlark.dll
  DEPENDS "${PROJECT_BINARY_DIR}/src/Quenlark.def"
  VERBATIM)
add_custom_target(quenlark_msvc_implib ALL DEPENDS "${quenlark_msvc_implib}")

install(TARGETS Quenlark
  RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}"
  ARCHIVE DESTINATION "${CMAKE_INSTALL_LIBDIR}")  # lib/libQuenlark.dll.a, made from the .def
install(FILES "${PROJECT_BINARY_DIR}/src/Quenlark.def" "${quenlark_msvc_implib}" DESTINATION "${CMAKE_INSTALL_LIBDIR}")
install(FILES "${PROJECT_SOURCE_DIR}/include/quenlark.h" DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}")
install(TARGETS quenlark RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
install(FILES "${PROJECT_SOURCE_DIR}/README.md" DESTINATION .)

# find_package(Quenlark CONFIG) and the imported target Quenlark::Quenlark. The version file
# also turns away a consumer of the other width.
set(quenlark_cmake_dir "${CMAKE_INSTALL_LIBDIR}/cmake/Quenlark")
configure_package_config_file("${PROJECT_SOURCE_DIR}/cmake/QuenlarkConfig.cmake.in" "${PROJECT_BINARY_DIR}/cmake/QuenlarkConfig.cmake"
  INSTALL_DESTINATION "${quenlark_cmake_dir}"
  PATH_VARS CMAKE_INSTALL_BINDIR CMAKE_INSTALL_LIBDIR CMAKE_INSTALL_INCLUDEDIR)
write_basic_package_version_file("${PROJECT_BINARY_DIR}/cmake/QuenlarkConfigVersion.cmake"
  COMPATIBILITY SameMajorVersion)
install(FILES "${PROJECT_BINARY_DIR}/cmake/QuenlarkConfig.cmake" "${PROJECT_BINARY_DIR}/cmake/QuenlarkConfigVersion.cmake"
  DESTINATION "${quenlark_cmake_dir}")

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
