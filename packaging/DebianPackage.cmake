# The Debian package: cmake --build BUILD --target package gives
# BUILD/vardocle_VERSION_amd64.deb.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vardocle)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Pellinor")
set(CPACK_PACKAGE_CONTACT "Vardocle Developers <dev@vardocle.com>")
# Every install destination below is relative to the root.
set(CPACK_PACKAGING_INSTALL_PREFIX /)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop screen recorder with a Chinese user interface")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.vardocle.com/")
# The summary above is the first line; an empty line becomes " .".
set(CPACK_PACKAGE_DESCRIPTION
    "Vardocle records the whole screen at one to five frames per second into an
AVI file, scaled to the size chosen, with the microphone merged in as its
sound. It is controlled from a small window, the tray and global hotkeys.

The command-line recorder vardocle-record records from scripts on the same
engine and repairs recordings that were cut off.")
# What the binaries link is found by dpkg-shlibdeps; the update library is
# the program's own and lies beside it.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/bin)
# Loaded at run time, not linked: Qt's own texts in Chinese, and the fonts
# that the Chinese font names of the windows are mapped to.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, fonts-noto-cjk | fonts-wqy-microhei")
set(CPACK_STRIP_FILES ON)
# Owner root and 0755 folders whatever the umask of the build.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
include(CPack)
