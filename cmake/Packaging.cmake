# The program and the command line as one Debian package: `cpack` in a release build, or
# scripts/package.sh.
install(TARGETS spurenflechter spurenflechter-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME spurenflechter)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${SPURENFLECHTER_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "merges German audio and subtitles into the video release of a series")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Spurenflechter pairs the episodes of two folders by their episode number, reports\n"
    "languages, untagged tracks, subtitle files and running times, and muxes one new\n"
    "Matroska file per episode with mkvmerge. It has a German window and a command line.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${SPURENFLECHTER_HOMEPAGE}")
# The Qt libraries come from the binaries' own links; the platform plugins, the SVG icons and
# the tools the program runs are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6, libfftw3-double3, mkvtoolnix, file")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "ffmpeg, qt6-translations-l10n")
include(CPack)
