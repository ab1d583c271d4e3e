# Install layout and the Debian package.
# SPDX-License-Identifier: GPL-3.0-or-later
#
# The programs look for HAND-M.CUR and Samples/ in their own folder, so they
# are installed together into one folder (lib/corvantis); the commands on the
# PATH are relative symlinks into it. The programs find their folder through
# the link's target, so starting them through bin/ works.

if(NOT DEFINED CORVANTIS_INSTALL_APPDIR)
  set(CORVANTIS_INSTALL_APPDIR lib/corvantis)
endif()

set(corvantis_launcher_dir ${CMAKE_BINARY_DIR}/launchers)
file(MAKE_DIRECTORY ${corvantis_launcher_dir})

foreach(program IN ITEMS corvantis corvantis-cli)
  if(NOT TARGET ${program})
    continue()
  endif()
  install(TARGETS ${program} RUNTIME DESTINATION ${CORVANTIS_INSTALL_APPDIR})

  # The link is made once here and installed as a link (install keeps
  # symlinks), so it works the same for `cmake --install`, DESTDIR and CPack.
  set(link ${corvantis_launcher_dir}/${program})
  file(REMOVE ${link})
  file(CREATE_LINK ../${CORVANTIS_INSTALL_APPDIR}/${program} ${link} SYMBOLIC)
  install(FILES ${link} DESTINATION bin)
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
pipelines.")
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
# dpkg-shlibdeps adds the libraries the programs link (Qt, libstdc++, libc);
# these are what they need at run time without linking them: the platform
# plugins that open a window, and the Arial-compatible font of the layout.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-liberation")
# The panes are built on QScintilla (GPL-3.0, hence the project's license).
# Named here as well as by dpkg-shlibdeps so that the package never installs
# without its runtime library, however the programs come to link it.
string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", libqscintilla2-qt6-15")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://quillfen.example/corvantis")
# Control files owned by root with the permissions Debian expects.
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
