# Installing and the Debian package. `cmake --install` puts the four programs, the desktop entry, the
# icons and the AppStream metainfo under the prefix; with VELORIN_MAN_PAGES a man page per program too.
# scripts/package turns that into velorin_VERSION_amd64.deb with CPack.
include(GNUInstallDirs)

install(TARGETS velorin-collector RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/resources/org.velorin.Velorin.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The man pages are made from each program's --help and --version, so they cannot drift from the
# programs. Off by default: it runs the programs at build time and needs help2man.
option(VELORIN_MAN_PAGES "Make and install a man page per program (needs help2man)" OFF)
if(VELORIN_MAN_PAGES)
  find_program(HELP2MAN help2man REQUIRED)
  find_program(GZIP gzip REQUIRED)
  set(VELORIN_MAN_DIR ${PROJECT_BINARY_DIR}/man)
  set(VELORIN_MAN_PAGE_FILES)
  foreach(program velorin velorin-record velorin-report velorin-collector)
    set(include ${PROJECT_SOURCE_DIR}/resources/man/${program}.h2m)
    set(page ${VELORIN_MAN_DIR}/${program}.1)
    # gzip -n leaves the time and name out, so the same page compresses to the same bytes.
    add_custom_command(OUTPUT ${page}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${VELORIN_MAN_DIR}
      COMMAND ${CMAKE_COMMAND} -E env VELORIN_MAN_PROGRAM=$<TARGET_FILE:${program}>
              ${HELP2MAN} --no-info --no-discard-stderr --section=1 --include=${include} --output=${page}
              ${PROJECT_SOURCE_DIR}/cmake/help2man-usage.sh
      COMMAND ${GZIP} -9nf ${page}
      DEPENDS ${program} ${include} ${PROJECT_SOURCE_DIR}/cmake/help2man-usage.sh
      COMMENT "Man page of ${program}"
      VERBATIM)
    list(APPEND VELORIN_MAN_PAGE_FILES ${page}.gz)
  endforeach()
  add_custom_target(velorin_man_pages ALL DEPENDS ${VELORIN_MAN_PAGE_FILES})
  install(FILES ${VELORIN_MAN_PAGE_FILES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velorin)
set(CPACK_PACKAGE_VENDOR "Velorin")
# A placeholder address (.invalid) until the project has one: -DVELORIN_PACKAGE_MAINTAINER="NAME <ADDRESS>".
set(VELORIN_PACKAGE_MAINTAINER "Velorin maintainers <maintainers@velorin.invalid>" CACHE STRING
  "Maintainer field of the Debian package")
set(CPACK_PACKAGE_CONTACT "${VELORIN_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "ECG monitor for a chest-worn Bluetooth LE sensor")
# Debian keeps description lines under 80 characters.
set(CPACK_PACKAGE_DESCRIPTION "Velorin shows the live ECG of a chest-worn Bluetooth Low Energy sensor and
its heart rate, records every sample to files, uploads the recordings to a
collection server (keeping them while offline), marks symptom events,
browses past recordings and exports a PDF report. It is a research and
wellness tool, not a diagnostic device.

This package holds the desktop application (velorin), the headless recorder
(velorin-record), the report and export tool (velorin-report: PDF, EDF+,
CSV) and a login and collection server for development, demos and tests
(velorin-collector).")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends comes from the libraries the programs link (dpkg-shlibdeps). Qt loads some parts as plugins,
# which no link shows: the positioning plugins put the place into the names of uploaded recordings,
# and BlueZ is the way to a real sensor. Both are only recommended: without them uploads are named
# with 0.000000_0.000000, and the simulated sensor, the replays and the reports still work.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "bluez, libqt6positioning6-plugins")
set(CPACK_STRIP_FILES ON)
include(CPack)
