# Read by cpack for each generator: the .deb installs under /usr, the
# .tar.gz holds the installed tree as it is.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
endif()
