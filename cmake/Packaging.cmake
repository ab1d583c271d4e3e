# Install layout and the Debian package.
# SPDX-License-Identifier: GPL-3.0-or-later
#
# The programs go to bin; the files they read, to share/corvantis (see the top
# CMakeLists.txt and resources/CMakeLists.txt). tools/package.sh builds the
# package with Debian's hardening flags and a fixed SOURCE_DATE_EPOCH, so two
# builds of one commit give the same bytes.

foreach(program IN ITEMS corvantis corvantis-cli)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    # A stripped install (the package's) also drops the compiler's notes, as
    # Debian's own packages do.
    install(CODE "
      if(CMAKE_INSTALL_DO_STRIP)
        execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment
          --remove-section=.note
          \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${program}\"
          COMMAND_ERROR_IS_FATAL ANY)
      endif()")
  endif()
endforeach()

set(CPACK_PACKAGE_NAME corvantis)
set(CPACK_PACKAGE_VENDOR "Quillfen")
set(CPACK_PACKAGE_CONTACT "Quillfen <support@quillfen.example>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Side-by-side comparison of two CSV or text files")
# Debian shows the extended description as it stands: lines under 80 columns.
set(CPACK_PACKAGE_DESCRIPTION
  "Corvantis loads two text files, typically CSV exports, into two panes side\n\
by side. It marks in red every line of one file that the other file lacks,\n\
or every word that differs between lines at the same place, and lists the\n\
differences alone. The visible results can be saved as text. Two sample\n\
files are included.\n\
.\n\
The command corvantis-cli runs the same comparisons for scripts and\n\
pipelines, and compares two CSV files as tables: rows paired by a key and\n\
reported as removed, added or changed, cell by cell.")
set(CPACK_PACKAGE_LICENSE "GPL-3.0-or-later")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)

set(CPACK_DEBIAN_PACKAGE_NAME corvantis)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Quillfen <support@quillfen.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# dpkg-shlibdeps adds the libraries the programs link (Qt, libzip, libstdc++,
# libc); these are what they need at run time without linking them: the
# platform plugins that open a window, and the Arial-compatible font of the
# layout.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libxlsxwriter (libxlsxwriter4 in Debian 12), which writes the xlsx report, is
# linked and so found by dpkg-shlibdeps; tools/package.sh checks that it is there.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://quillfen.example/corvantis")
# Control files owned by root with the permissions Debian expects.
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
