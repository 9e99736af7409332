# The Debian package, built by `cpack -G DEB` (scripts/package):
# trimwright_<version>_amd64.deb with the files of cmake/Install.cmake under
# /usr. Its dependencies are worked out by dpkg-shlibdeps from the libraries
# the installed programs link to.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME trimwright)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Trimwright developers")
set(CPACK_PACKAGE_CONTACT "Trimwright developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "tune the VE tables of an engine calibration from logged fuel trims")
set(CPACK_PACKAGE_DESCRIPTION
    "Trimwright tunes the volumetric-efficiency (VE) tables of an LT1 OBD-I engine
calibration image from a drive logged on the road: it sorts the logged records
into their block learn cells, works out a correction for every VE cell,
rewrites the image in place with a consistent checksum, and writes a report of
every change. It comes as a Qt window (trimwright) and as a command-line
program (trimwright-cli), with sample data in /usr/share/doc/trimwright.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

include(CPack)
