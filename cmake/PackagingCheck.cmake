# Read by cpack before it builds a package (CPACK_PROJECT_CONFIG_FILE).
if(CPACK_GENERATOR STREQUAL "DEB")
  # The filter has its catalogue folder compiled in; a package of a build
  # configured for /usr/local would put them where it does not look.
  if(NOT CPACK_QUILLET_INSTALL_PREFIX STREQUAL "/usr")
    message(FATAL_ERROR "Debian packages need a build configured with "
            "-DCMAKE_INSTALL_PREFIX=/usr (this one: ${CPACK_QUILLET_INSTALL_PREFIX})")
  endif()
  file(STRINGS ${CPACK_QUILLET_CHANGELOG} _top LIMIT_COUNT 1)
  if(NOT _top MATCHES "\\(${CPACK_PACKAGE_VERSION}\\)")
    message(FATAL_ERROR "packaging/debian/changelog has no entry for "
            "${CPACK_PACKAGE_VERSION} at the top: ${_top}")
  endif()
endif()
