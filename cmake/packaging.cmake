# The Debian package: `cpack -G DEB` in the build folder. Its dependencies
# are worked out from the libraries the program links (dpkg-shlibdeps).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME glimmerax)
set(CPACK_PACKAGE_VENDOR "Tallowbrook Software")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Tallowbrook Software <packages@tallowbrook.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "HTML and files for image-effect applets on web pages")
# The synopsis is the summary above; this is the extended description.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Glimmerax is a desktop tool for people who build web pages. Pick GIF or
JPEG images, one of twenty image effects, its speed, colours and a link,
and it writes the HTML that puts the effect on a page, gathers every file
the page needs into one folder for upload, and shows the result in a web
browser. Work is kept in small project files.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "http://www.tallowbrook.example/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The desktop's opener, for pages, folders and the samples.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
include(CPack)
