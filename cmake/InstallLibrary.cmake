# The library for engines: its headers, the shared library (and on Linux the static one), a CMake
# package (find_package(Varnholt CONFIG REQUIRED), target Varnholt::varnholt) and a pkg-config
# file. Internal headers stay out.
include(CMakePackageConfigHelpers)
set(VARNHOLT_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Varnholt)

install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/varnholt DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
if(WIN32)
  install(TARGETS varnholt_shared EXPORT VarnholtTargets
          RUNTIME DESTINATION ${VARNHOLT_PROGRAM_DIR} ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
  install(FILES ${PROJECT_BINARY_DIR}/varnholt.def DESTINATION ${CMAKE_INSTALL_LIBDIR})
else()
  install(TARGETS varnholt_shared varnholt_core EXPORT VarnholtTargets
          LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
endif()
install(EXPORT VarnholtTargets NAMESPACE Varnholt:: DESTINATION ${VARNHOLT_CMAKE_DIR})

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/VarnholtConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/VarnholtConfig.cmake
                              INSTALL_DESTINATION ${VARNHOLT_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/VarnholtConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/VarnholtConfig.cmake
              ${PROJECT_BINARY_DIR}/VarnholtConfigVersion.cmake
        DESTINATION ${VARNHOLT_CMAKE_DIR})

# Relocatable: the prefix is found from where the file lies, so that a package installed under
# another prefix than the build was configured with still points at its own files.
set(VARNHOLT_PKGCONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
file(RELATIVE_PATH VARNHOLT_PKGCONFIG_TO_PREFIX /root/${VARNHOLT_PKGCONFIG_DIR} /root)
string(REGEX REPLACE "/$" "" VARNHOLT_PKGCONFIG_TO_PREFIX "${VARNHOLT_PKGCONFIG_TO_PREFIX}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/varnholt.pc.in ${PROJECT_BINARY_DIR}/varnholt.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/varnholt.pc DESTINATION ${VARNHOLT_PKGCONFIG_DIR})
