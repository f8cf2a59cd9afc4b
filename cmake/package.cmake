# The release archives, made by cpack from what `cmake --install` installs:
#   Linux:   lumtrax-VERSION-Linux.tar.gz, the installed tree, and
#            lumtrax_VERSION_ARCH.deb, the same tree under /usr;
#   Windows: lumtrax-VERSION-win32.zip or lumtrax-VERSION-win64.zip, from the
#            cross build of that architecture.
# Run `cpack` in the build folder (`cpack -B DIR` puts them in DIR).
set(CPACK_PACKAGE_NAME lumtrax)
set(CPACK_PACKAGE_VENDOR "the lumtrax developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Japanese text conversion between Shift-JIS and the EBCDIC host code, the 8-bit host code and EUC")
set(CPACK_PACKAGE_CONTACT "lumtrax developers <lumtrax@localhost>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_PACKAGE_FILE_NAME lumtrax-${PROJECT_VERSION}-win64)
  else()
    set(CPACK_PACKAGE_FILE_NAME lumtrax-${PROJECT_VERSION}-win32)
  endif()
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  set(CPACK_GENERATOR "TGZ;DEB")
  set(CPACK_PACKAGE_FILE_NAME lumtrax-${PROJECT_VERSION}-Linux)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION libs)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libgcc-s1")
endif()
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/cpack-options.cmake)
include(CPack)
