# Installs the library, its public headers, the CMake package files
# (find_package(armkin) gives armkin::armkin, and armkin::io when the
# arm-file loaders are built) and the pkg-config files armkin and armkin-io.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(armkin_install_targets armkin)
set(armkin_header_exclude PATTERN "loaders.hpp" EXCLUDE PATTERN "study_file.hpp" EXCLUDE
    PATTERN "reach_files.hpp" EXCLUDE)
if(ARMKIN_HAVE_IO)
  list(APPEND armkin_install_targets armkin_io)
  set(armkin_header_exclude "")
endif()
install(TARGETS ${armkin_install_targets} EXPORT armkinTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/armkin ${PROJECT_BINARY_DIR}/include/armkin
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} FILES_MATCHING PATTERN "*.hpp" ${armkin_header_exclude})

set(armkin_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/armkin)
install(EXPORT armkinTargets NAMESPACE armkin:: DESTINATION ${armkin_cmake_dir})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/armkinConfig.cmake.in
  ${PROJECT_BINARY_DIR}/armkinConfig.cmake INSTALL_DESTINATION ${armkin_cmake_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/armkinConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/armkinConfig.cmake ${PROJECT_BINARY_DIR}/armkinConfigVersion.cmake
        DESTINATION ${armkin_cmake_dir})

# The .pc file finds the prefix from its own place, so the installed tree
# may be moved.
file(RELATIVE_PATH armkin_pc_to_prefix "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
configure_file(${PROJECT_SOURCE_DIR}/cmake/armkin.pc.in ${PROJECT_BINARY_DIR}/armkin.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/armkin.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
if(ARMKIN_HAVE_IO)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/armkin-io.pc.in ${PROJECT_BINARY_DIR}/armkin-io.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/armkin-io.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endif()
