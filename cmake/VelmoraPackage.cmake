# The Debian package (scripts/package): what `cmake --install` puts in place, under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "secure media vault and player")
set(CPACK_PACKAGE_DESCRIPTION
    "Velmora is a secure media player for Linux that hides and protects all of your media files. Pictures, music and movies are imported into a library whose content is stored encrypted; the originals can then be securely deleted.")
set(CPACK_PACKAGE_VENDOR "The Velmora developers")
set(CPACK_PACKAGE_CONTACT "The Velmora developers <velmora@example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${PROJECT_HOMEPAGE_URL})
# The libraries the programs link come from dpkg-shlibdeps; what they load at run time
# does not: Qt's GStreamer media backend plays through these plugins, and the WMF
# decoder needs the URW fonts.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, gstreamer1.0-plugins-bad, gstreamer1.0-libav, gstreamer1.0-pulseaudio, fonts-urw-base35")
# Help pages open in Chromium as a window of their own, else in the desktop's browser.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "chromium | xdg-utils")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "desktop-file-utils, shared-mime-info")
include(CPack)
