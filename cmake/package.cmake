# SPDX-License-Identifier: GPL-3.0-or-later
# CPack: `cpack -G DEB` in the build directory makes a Debian package of
# what cmake/install.cmake installs, its version read from data/changelog.
# The package_lintian test checks it with Debian's lintian.
set(CPACK_PACKAGE_NAME dorvik)
set(CPACK_PACKAGE_VENDOR "The Dorvik developers")
set(CPACK_PACKAGE_CONTACT "The Dorvik developers <dorvik@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "recalibrate a laptop battery's charge gauge")
set(CPACK_PACKAGE_DESCRIPTION
  "Over months of use a laptop battery's charge gauge drifts, and the machine\n\
may believe the battery empty while charge is left. Dorvik recalibrates the\n\
gauge by one guided full cycle: it waits for a full charge on mains power,\n\
waits for you to unplug, then keeps the machine running until the battery\n\
is exhausted, writing a small result log. After recharging, View Result\n\
tells you how many minutes the battery lasted.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
# CPack passes on only variables named CPACK_*.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/package_staged_tree.cmake)
set(CPACK_DORVIK_STRIP ${CMAKE_STRIP})
set(CPACK_DORVIK_CONFFILES ${CMAKE_BINARY_DIR}/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CPACK_DORVIK_CONFFILES})

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# The libraries the programs link, as dpkg-shlibdeps (dpkg-dev) finds them;
# cpack stops without it rather than build a package that lacks some.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its window-system plugin at run time and the window asks for
# Liberation Sans by name, so the linker cannot see these two.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-liberation")
# The power helper asks polkit before it changes the battery's charging;
# without polkitd it refuses, and Dorvik runs as before.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS polkitd)

include(CPack)
