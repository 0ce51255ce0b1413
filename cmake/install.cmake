# SPDX-License-Identifier: GPL-3.0-or-later
# Installs Dorvik as a desktop application: the programs, the menu entry,
# the icon in the hicolor theme and the AppStream metainfo. Included at the
# end of the top-level CMakeLists.txt, so every program target exists.
include(GNUInstallDirs)

set(DORVIK_APP_ID io.github.dorvik.Dorvik)
set(DORVIK_DATA_DIR ${PROJECT_SOURCE_DIR}/data)

# Directories a package creates must not depend on the builder's umask.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE
  GROUP_READ GROUP_EXECUTE
  WORLD_READ WORLD_EXECUTE)

install(TARGETS dorvik RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET dorvik-demo)
  install(TARGETS dorvik-demo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

install(FILES ${DORVIK_DATA_DIR}/${DORVIK_APP_ID}.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${DORVIK_DATA_DIR}/${DORVIK_APP_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${DORVIK_DATA_DIR}/icons/${DORVIK_APP_ID}.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${DORVIK_DATA_DIR}/icons/${DORVIK_APP_ID}.png
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps)
install(FILES ${DORVIK_DATA_DIR}/dorvik.1
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE
  DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The calibration reminder, run at every login. Autostart entries belong in
# /etc/xdg/autostart even when the programs are under /usr, so the folder is
# chosen when the prefix is known, at install time.
install(CODE "
  if(CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
    set(autostart /etc/xdg/autostart)
  else()
    set(autostart \"\${CMAKE_INSTALL_PREFIX}/etc/xdg/autostart\")
  endif()
  file(INSTALL \"${DORVIK_DATA_DIR}/${DORVIK_APP_ID}-remind.desktop\" DESTINATION \"\${autostart}\"
       PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
")

include(${CMAKE_CURRENT_LIST_DIR}/package.cmake)

# The power helper: a D-Bus system service started by bus activation, its
# bus policy and its polkit actions.
if(TARGET dorvik-power-helper)
  install(TARGETS dorvik-power-helper RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/dorvik)
  # Exec names the helper under the prefix given at install time (cmake
  # --install --prefix, CPack's /usr), so the file is made then.
  set(service_file ${CMAKE_BINARY_DIR}/powerhelper/io.github.dorvik.PowerHelper.service)
  install(CODE "
    set(libexec \"${CMAKE_INSTALL_LIBEXECDIR}\")
    if(NOT IS_ABSOLUTE \"\${libexec}\")
      set(libexec \"\${CMAKE_INSTALL_PREFIX}/\${libexec}\")
    endif()
    set(DORVIK_POWER_HELPER_PATH \"\${libexec}/dorvik/dorvik-power-helper\")
    configure_file(\"${DORVIK_DATA_DIR}/io.github.dorvik.PowerHelper.service.in\" \"${service_file}\" @ONLY)
  ")
  install(FILES ${service_file}
    DESTINATION ${CMAKE_INSTALL_DATADIR}/dbus-1/system-services)
  install(FILES ${DORVIK_DATA_DIR}/io.github.dorvik.PowerHelper.conf
    DESTINATION ${CMAKE_INSTALL_DATADIR}/dbus-1/system.d)
  install(FILES ${DORVIK_DATA_DIR}/io.github.dorvik.policy
    DESTINATION ${CMAKE_INSTALL_DATADIR}/polkit-1/actions)
endif()
