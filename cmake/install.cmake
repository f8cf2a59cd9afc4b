# What `cmake --install build --prefix P` puts under P: the headers, the C
# library, the stand-in gaiji server, the C++ library, the command and its
# manual page, a CMake package (find_package(lumtrax)) and pkg-config files.
# Every path is relative to P, so the prefix can be chosen at install time.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# On Windows what a caller of the DLL needs: the two DLLs, their import
# libraries, lumtrax.h and a short text on calling the DLL. This is what the
# release archive holds (cmake/package.cmake).
if(WIN32)
  install(TARGETS lumtrax quobel
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
  install(FILES include/lumtrax.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
  install(FILES cmake/calling-the-dll.txt DESTINATION . RENAME README.txt)
  return()
endif()

set(LUMTRAX_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/lumtrax)

# The installed programs find the libraries beside them.
file(RELATIVE_PATH lumtrax_bin_to_lib
  ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
if(NOT WIN32)
  set_target_properties(lumtrax quobel PROPERTIES INSTALL_RPATH "$ORIGIN")
endif()
if(TARGET lumtrax_cli)
  set_target_properties(lumtrax_cli PROPERTIES INSTALL_RPATH "$ORIGIN/${lumtrax_bin_to_lib}")
  install(TARGETS lumtrax_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES tools/lumtrax.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

install(TARGETS lumtrax quobel lumtrax_cxx EXPORT lumtraxTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES include/lumtrax.h include/lumtrax.hpp include/lumtrax_dataset.hpp
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

install(EXPORT lumtraxTargets NAMESPACE lumtrax:: DESTINATION ${LUMTRAX_CMAKE_DIR})
configure_package_config_file(cmake/lumtraxConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/lumtraxConfig.cmake
  INSTALL_DESTINATION ${LUMTRAX_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/lumtraxConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${CMAKE_CURRENT_BINARY_DIR}/lumtraxConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/lumtraxConfigVersion.cmake
  DESTINATION ${LUMTRAX_CMAKE_DIR})

# pkg-config files that find their prefix from where they lie.
file(RELATIVE_PATH lumtrax_pc_to_prefix
  ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" lumtrax_pc_to_prefix "${lumtrax_pc_to_prefix}")
foreach(pc lumtrax lumtrax-cxx)
  configure_file(cmake/${pc}.pc.in ${CMAKE_CURRENT_BINARY_DIR}/${pc}.pc @ONLY)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${pc}.pc
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endforeach()
