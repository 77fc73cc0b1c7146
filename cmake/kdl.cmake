# Orocos KDL (with the Eigen headers it needs) and kdl_parser: dependencies
# of the tests and the benchmarks only. The arm-file tests cross-check the
# loaders against kdl_parser and KDL, the benchmarks compare with KDL's
# solvers. Defines the build-only targets armkin_kdl and armkin_kdl_parser
# for what is found; without them the tests and benchmarks leave those
# comparisons out.
include_guard(GLOBAL)

find_package(orocos_kdl CONFIG QUIET)
find_library(ARMKIN_KDL_LIBRARY NAMES orocos-kdl HINTS ${orocos_kdl_LIBRARY_DIRS})
find_path(ARMKIN_EIGEN_INCLUDE NAMES Eigen/Core HINTS ${orocos_kdl_INCLUDE_DIRS} PATH_SUFFIXES eigen3)
if(ARMKIN_KDL_LIBRARY AND ARMKIN_EIGEN_INCLUDE)
  add_library(armkin_kdl INTERFACE)
  target_include_directories(armkin_kdl SYSTEM INTERFACE ${ARMKIN_EIGEN_INCLUDE})
  target_link_libraries(armkin_kdl INTERFACE ${ARMKIN_KDL_LIBRARY})
else()
  # An installation outside the default paths that pkg-config knows of.
  find_package(PkgConfig QUIET)
  if(PkgConfig_FOUND)
    pkg_check_modules(ARMKIN_KDL QUIET IMPORTED_TARGET orocos-kdl)
    if(ARMKIN_KDL_FOUND)
      add_library(armkin_kdl INTERFACE)
      target_link_libraries(armkin_kdl INTERFACE PkgConfig::ARMKIN_KDL)
    endif()
  endif()
endif()

# Debian's kdl_parser CMake and pkg-config files pull in ROS packages, so
# its library and header are found directly.
find_library(ARMKIN_KDL_PARSER_LIBRARY NAMES kdl_parser)
find_path(ARMKIN_KDL_PARSER_INCLUDE NAMES kdl_parser/kdl_parser.hpp)
if(TARGET armkin_kdl AND ARMKIN_KDL_PARSER_LIBRARY AND ARMKIN_KDL_PARSER_INCLUDE)
  add_library(armkin_kdl_parser INTERFACE)
  target_include_directories(armkin_kdl_parser SYSTEM INTERFACE ${ARMKIN_KDL_PARSER_INCLUDE})
  target_link_libraries(armkin_kdl_parser INTERFACE ${ARMKIN_KDL_PARSER_LIBRARY} armkin_kdl)
endif()
