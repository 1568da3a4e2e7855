# `cpack` in a build folder makes the Debian package from the install rules in data/.

# The package is the program; an engine-only build has nothing to install.
if(NOT QUORBIT_GUI)
  return()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorbit)
set(CPACK_PACKAGE_VENDOR "The Quorbit team")
set(CPACK_PACKAGE_CONTACT "The Quorbit team <quorbit@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "batch renamer for files and folders")
# Each line stays a line of the package's description, which dpkg wants narrow.
set(CPACK_PACKAGE_DESCRIPTION
    "Quorbit renames every matching file and folder of a folder, and
optionally of all its sub-folders, with one of sixteen name operations,
and never replaces an existing entry while doing it. It also reads,
edits and saves the ID3v1 and ID3v2 tags of MP3 files. The interface
speaks English and Russian.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://quorbit.example.org/)
# dpkg-shlibdeps reads the program's libraries (Qt, ICU, libstdc++) and names
# the packages and versions they come from, as on the machine that builds it.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The program's icon is an SVG, drawn by a Qt plugin that no library links.
set(CPACK_DEBIAN_PACKAGE_DEPENDS libqt6svg6)
# quorbit_<version>_<architecture>.deb
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)

include(CPack)
