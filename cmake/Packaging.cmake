# Debian packages of the Linux programs, one per install component:
#
#   cmake -S . -B build/deb -G Ninja -DCMAKE_BUILD_TYPE=Release \
#         -DCMAKE_INSTALL_PREFIX=/usr -DQUILLET_BUILD_TESTS=OFF \
#         -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON
#   cmake --build build/deb --target quillet-package-files
#   (cd build/deb && cpack -G DEB)
#
# tools/build-deb.sh does this with Debian's compiler flags and runs
# lintian; tools/package-test.sh installs, uses and removes the packages.
#
# A package is one quillet_deb_package() call below: its files are the
# install rules of its COMPONENT (install(... COMPONENT <name>)), TARGETS
# are the targets that make them, and the copyright, the changelog and
# packaging/debian/<package>.lintian-overrides are added here. Run-time
# dependencies come from dpkg-shlibdeps on the binaries; DEPENDS and
# RECOMMENDS are for what is not linked (another package of this project,
# a program that is run); CONTROL_EXTRA takes maintainer scripts (postinst,
# prerm, ...), e.g. to enable and stop a systemd unit.

include(GNUInstallDirs)

set(QUILLET_PACKAGE_MAINTAINER "Quillet developers <quillet@example.com>" CACHE STRING
    "Maintainer field of the Debian packages")

find_program(QUILLET_GZIP gzip REQUIRED)
set(_pkgdir ${CMAKE_BINARY_DIR}/packaging)
set(_debian ${CMAKE_SOURCE_DIR}/packaging/debian)

# Debian wants the changelog compressed without a name or time stamp.
add_custom_command(
  OUTPUT ${_pkgdir}/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${_pkgdir}
  COMMAND ${QUILLET_GZIP} -9nc ${_debian}/changelog > ${_pkgdir}/changelog.gz
  DEPENDS ${_debian}/changelog
  COMMENT "Compressing the package changelog")
add_custom_target(quillet-package-files DEPENDS ${_pkgdir}/changelog.gz)

set(QUILLET_DEB_COMPONENTS "")

function(quillet_deb_package component)
  cmake_parse_arguments(P "" "NAME;SECTION;SUMMARY"
                        "DESCRIPTION;TARGETS;DEPENDS;RECOMMENDS;CONTROL_EXTRA" ${ARGN})
  string(TOUPPER "${component}" C)
  set(CPACK_DEBIAN_${C}_PACKAGE_NAME ${P_NAME} PARENT_SCOPE)
  set(CPACK_DEBIAN_${C}_PACKAGE_SECTION ${P_SECTION} PARENT_SCOPE)
  # CPack puts the first line in the Description field and indents the rest
  # as the long description.
  list(JOIN P_DESCRIPTION "\n" _long)
  set(CPACK_DEBIAN_${C}_DESCRIPTION "${P_SUMMARY}\n${_long}" PARENT_SCOPE)
  if(P_DEPENDS)
    list(JOIN P_DEPENDS ", " _deps)
    set(CPACK_DEBIAN_${C}_PACKAGE_DEPENDS "${_deps}" PARENT_SCOPE)
  endif()
  if(P_RECOMMENDS)
    list(JOIN P_RECOMMENDS ", " _recs)
    set(CPACK_DEBIAN_${C}_PACKAGE_RECOMMENDS "${_recs}" PARENT_SCOPE)
  endif()
  if(P_CONTROL_EXTRA)
    set(CPACK_DEBIAN_${C}_PACKAGE_CONTROL_EXTRA "${P_CONTROL_EXTRA}" PARENT_SCOPE)
  endif()
  # Only in the package: a source install has no Debian changelog.
  install(FILES ${_debian}/copyright ${_pkgdir}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${P_NAME}
          COMPONENT ${component} EXCLUDE_FROM_ALL)
  if(EXISTS ${_debian}/${P_NAME}.lintian-overrides)
    install(FILES ${_debian}/${P_NAME}.lintian-overrides
            DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME ${P_NAME}
            COMPONENT ${component} EXCLUDE_FROM_ALL)
  endif()
  if(P_TARGETS)
    add_dependencies(quillet-package-files ${P_TARGETS})
  endif()
  set(QUILLET_DEB_COMPONENTS ${QUILLET_DEB_COMPONENTS} ${component} PARENT_SCOPE)
endfunction()

quillet_deb_package(filter
  NAME quillet-filter
  SECTION text
  SUMMARY "CUPS driver for Quillet thermal printers"
  DESCRIPTION
    "The CUPS raster filter rastertoquillet and the PPDs of the Quillet"
    "thermal printers (A4 sheet and label models): it turns"
    "each page into black and white for the one-bit print head and writes the"
    "printer's command language. Messages in English, German and Chinese."
    "."
    "Also quillet-decode, which checks a printer stream and writes its pages"
    "as PNG images."
  TARGETS rastertoquillet rastertoquillet_catalogues quillet-ppds
          quillet-decode quillet-decode-man
  RECOMMENDS cups)

# Install the README with the filter package: it says how to add a queue.
install(FILES ${CMAKE_SOURCE_DIR}/README.md
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quillet-filter
        COMPONENT filter EXCLUDE_FROM_ALL)

if(TARGET quillet-printer-app)
  set(_scripts ${_debian}/quillet-printer-app)
  quillet_deb_package(printer-app
    NAME quillet-printer-app
    SECTION net
    SUMMARY "IPP Everywhere Printer Application for Quillet thermal printers"
    DESCRIPTION
      "quillet-printer-app is a small IPP server on PAPPL that makes the Quillet"
      "thermal printers (A4 sheet and label models) look like"
      "driverless IPP Everywhere printers, so CUPS, Windows, macOS, iOS and"
      "Android print to them without a driver or PPD. It prints PWG and Apple"
      "raster, PNG, JPEG and, with Ghostscript, PDF. Printers attach over USB,"
      "the network, Bluetooth or a serial cable."
      "."
      "The systemd service quillet-printer-app listens on localhost port 8631,"
      "runs as a system user of its own and is enabled and started on"
      "installation. Attribute labels in English,"
      "German and Chinese."
    TARGETS quillet-printer-app quillet-printer-app-man
    # postinst makes the service's user.
    DEPENDS adduser
    # PDF pages are rendered by running gs.
    RECOMMENDS ghostscript
    CONTROL_EXTRA ${_scripts}/postinst ${_scripts}/prerm ${_scripts}/postrm)
  # USB printers to group lp, for the service's user. Debian 13 forbids
  # /lib (an alias of /usr/lib there): the folder comes from udev's
  # pkg-config file, else beside the systemd unit folder.
  pkg_get_variable(_udevdir udev udevdir)
  if(NOT _udevdir)
    string(REGEX REPLACE "/systemd/system$" "/udev" _udevdir "${QUILLET_SYSTEMD_UNIT_DIR}")
  endif()
  install(FILES ${_scripts}/60-quillet-printer-app.rules DESTINATION ${_udevdir}/rules.d
          COMPONENT printer-app EXCLUDE_FROM_ALL)
  install(FILES ${CMAKE_SOURCE_DIR}/README.md
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quillet-printer-app
          COMPONENT printer-app EXCLUDE_FROM_ALL)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillet)
set(CPACK_PACKAGE_VENDOR "Quillet developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${QUILLET_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${QUILLET_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${QUILLET_DEB_COMPONENTS})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/PackagingStrip.cmake)
set(CPACK_QUILLET_STRIP ${CMAKE_STRIP})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Several destinations are absolute (the CUPS folders, the catalogues where
# the filter looks for them); they are staged under DESTDIR.
set(CPACK_SET_DESTDIR ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_SOURCE_DIR}/cmake/PackagingCheck.cmake)
set(CPACK_QUILLET_CHANGELOG ${_debian}/changelog)
set(CPACK_QUILLET_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
include(CPack)
