# The Debian package (scripts/package): what `cmake --install` puts in place, under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "secure media vault and player")
# Lines of less than 80 characters, as Debian's control files want them.
set(CPACK_PACKAGE_DESCRIPTION
    "Velmora is a secure media player for Linux that hides and protects all of
your media files. Pictures, music and movies are imported into a library whose
content is stored encrypted; the originals can then be securely deleted.")
set(CPACK_PACKAGE_VENDOR "The Velmora developers")
set(CPACK_PACKAGE_CONTACT "The Velmora developers <velmora@example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${PROJECT_HOMEPAGE_URL})
# The libraries the programs link come from dpkg-shlibdeps; what they load or run at
# run time does not: Qt's GStreamer media backend plays through these plugins (-ugly
# reads ASF, WMV and WMA), Qt's image plugins and libheif read WebP, TIFF and HEIC/HEIF,
# the WMF decoder needs the URW fonts, and the file managers' helper calls the session
# bus with gdbus.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, gstreamer1.0-plugins-bad, gstreamer1.0-plugins-ugly, gstreamer1.0-libav, gstreamer1.0-pulseaudio, qt6-image-formats-plugins, libheif1, fonts-urw-base35, libglib2.0-bin")
# The file managers' entry starts the program through the session bus; prints go
# through the CUPS client's lp; help pages open in Chromium as a window of their own,
# else in the desktop's browser.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "default-dbus-session-bus | dbus-session-bus, cups-client, chromium | xdg-utils")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "desktop-file-utils, shared-mime-info")
# Control files 0644 (scripts 0755), as dpkg-deb and lintian expect.
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
