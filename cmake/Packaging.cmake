# The Debian package: `make package`, or `cpack` in a build folder.
#
#   cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
#   cmake --build build --target quorvane && (cd build && cpack)
#   -> build/quorvane_1.0.0_amd64.deb
#
# It holds what `cmake --install` installs, under /usr, with the program
# stripped. Depends is worked out by dpkg-shlibdeps from the libraries the
# program links, plus what it needs by name rather than by linking.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvane)
set(CPACK_PACKAGE_VENDOR "Quorvane developers")
set(CPACK_PACKAGE_CONTACT "Quorvane developers <dev@quorvane.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop share-search tool with a Chinese interface")
set(CPACK_PACKAGE_DESCRIPTION [[
Quorvane fetches a result page of a share-search web site for a keyword,
picks out the cloud-drive shares the page lists and shows them in a list
with their name, size, sharer and link. Pages can be turned forward and
back and refreshed, and a share's link opened in the browser or copied.
Every search runs in the background, so the window stays responsive.
The interface is in Chinese.]])
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${PROJECT_HOMEPAGE_URL}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# xdg-open hands links to the browser; the interface draws its Chinese with
# one of the CJK faces the program asks fontconfig for; the icon theme loads
# the scalable icon through librsvg's pixbuf loader.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "xdg-utils, fonts-wqy-microhei | fonts-noto-cjk, librsvg2-common")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# The package takes the program as it is built: building it is the job of
# `make package` (or of whoever calls cpack), so that packaging a build tree
# does not rebuild its tests first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

include(CPack)
