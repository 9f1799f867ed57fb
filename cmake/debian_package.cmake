# The Debian package, built by `make package` (cpack -G DEB in the build folder).
set(CPACK_PACKAGE_NAME octile)
set(CPACK_PACKAGE_VENDOR "Octile")
set(CPACK_PACKAGE_CONTACT "Octile maintainers <maintainers@users.noreply.c-seed-9b36dd59.example>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "binary editor for files of any size")
set(CPACK_PACKAGE_DESCRIPTION
    "Octile shows a file as a hexadecimal dump with its text in Shift_JIS, Unicode,
JIS or EUC, and edits it in place: overwrite, insert, delete and fill bytes,
search and replace text or bytes, compare two files, show pictures found in
the data. Only the shown page is read, so files larger than memory open at
once.

The package holds the Qt editor, octile, and the command line tool,
octile-cli, which runs the same operations from scripts.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CPACK_PACKAGE_CONTACT})
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION editors)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Shared libraries of the executables and the plug-ins, from dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What the linker does not see: Qt loads its platform plug-in at run time
# (without one no window opens), and the menus, dialogs and the dump's text
# column are Japanese, Qt's own dialogs included (qtbase_ja.qm).
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-qpa-plugins, qt6-translations-l10n, fonts-noto-cjk | fonts-ipafont-gothic")
# The SVG window icon; without it the editor draws the same icon itself.
# xdg-open shows the help texts in the desktop's text viewer; without it the
# editor shows them in a window of its own.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libqt6svg6, xdg-utils")

# The template file under /etc is the administrator's: dpkg keeps local
# changes to it across upgrades.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/resources/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
