# The Debian package of the native tool (make deb): what cmake --install puts under /usr,
# stripped, with the copyright and changelog files Debian expects, Depends found by
# dpkg-shlibdeps. The version is the project's, the Debian revision LUMERIN_DEB_RELEASE.
set(LUMERIN_DEB_RELEASE 1 CACHE STRING "Debian revision of the package")
set(LUMERIN_DEB_MAINTAINER "Veltrona <lumerin@lumerin.example.org>" CACHE STRING
  "Maintainer of the Debian package, as its changelog signs it")
set(LUMERIN_DEB_VERSION "${PROJECT_VERSION}-${LUMERIN_DEB_RELEASE}")
# (Empty without dpkg: the tree still builds, only make deb needs a Debian system.)
execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE LUMERIN_DEB_ARCHITECTURE
  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
# Where make deb's cpack run leaves it, before the copy into dist/.
set(LUMERIN_DEB_FILE
  "${CMAKE_BINARY_DIR}/deb/lumerin_${LUMERIN_DEB_VERSION}_${LUMERIN_DEB_ARCHITECTURE}.deb")

# The package's own documents: only the package installs them (component deb).
configure_file(packaging/changelog.Debian.in changelog.Debian @ONLY)
add_custom_command(OUTPUT changelog.Debian.gz
  COMMAND sh -c "gzip -9n -c changelog.Debian > changelog.Debian.gz"
  DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/changelog.Debian VERBATIM)
add_custom_target(lumerin_deb_documents ALL DEPENDS changelog.Debian.gz)
install(FILES packaging/copyright ${CMAKE_CURRENT_BINARY_DIR}/changelog.Debian.gz
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/lumerin COMPONENT deb EXCLUDE_FROM_ALL)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumerin)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Every install rule (the unnamed component) and the package's documents.
set(CPACK_INSTALL_CMAKE_PROJECTS
  "${CMAKE_BINARY_DIR};Lumerin;Unspecified;/" "${CMAKE_BINARY_DIR};Lumerin;deb;/")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${LUMERIN_DEB_RELEASE})
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${LUMERIN_DEB_ARCHITECTURE})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${LUMERIN_DEB_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://lumerin.example.org)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xscreensaver | xsecurelock | mate-screensaver | swayidle")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "plane fractals growing in ten colours, a screen saver")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Lumerin grows classic plane fractals (Koch, Hilbert, Peano, Gosper, the dragon,
plants) segment by segment in ten colours, each an L-system drawn with turtle
graphics and stretched to fill the screen: a slideshow of random figures, or
the generations of one fractal again and again.

This package holds the display mode for XScreenSaver, xsecurelock and MATE's
screensaver, with its settings for xscreensaver-settings, and the lumerin
command, which also draws the figures into PNG, SVG and animated GIF images.
On Wayland compositors with the layer shell (sway, Hyprland, river, Wayfire,
labwc, KDE Plasma) it runs as a screen saver for swayidle or hypridle and as a
live wallpaper.")
# The lock's PAM service is the administrator's to change: a conffile.
file(WRITE ${CMAKE_BINARY_DIR}/deb-control/conffiles "/etc/pam.d/lumerin\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/deb-control/conffiles)
include(CPack)
