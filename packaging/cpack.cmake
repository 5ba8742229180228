# The Debian package (scripts/package.sh runs cpack in a build tree): everything
# `cmake --install` lays out, below /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME gangprog)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Gang programmer developers <gangprog@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Control program for a USB gang programmer")
set(CPACK_PACKAGE_DESCRIPTION
    "Drives up to eight USB programmer units in parallel: loads projects, prepares the units and programs parts, with a window program (gangprog) and a command-line front end (gangprog-cli).")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
# The libraries come from dpkg-shlibdeps; the archiver is a program, so it is named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "7zip")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The install step (and CPack's) needs only the targets it installs, which package.sh and the
# install tests build; it must not wait for every test and benchmark to be built.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
include(CPack)
