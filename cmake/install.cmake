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

# The power helper: a D-Bus system service started through systemd, its
# bus policy, its polkit actions and a boot-time unit that puts back what a
# crash left changed. These go where the system's bus, polkit and systemd
# look, whatever the prefix: their pkg-config files say where, else /usr.
if(TARGET dorvik-power-helper)
  install(TARGETS dorvik-power-helper RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/dorvik)
  find_package(PkgConfig QUIET)
  function(dorvik_system_dir variable default module pc_variable suffix)
    set(found "")
    if(PKG_CONFIG_FOUND)
      pkg_get_variable(found ${module} ${pc_variable})
    endif()
    if(found)
      set(default ${found}${suffix})
    endif()
    set(${variable} ${default} CACHE PATH "Where the system looks for the power helper's ${module} files")
  endfunction()
  dorvik_system_dir(DORVIK_DBUS_SERVICES_DIR /usr/share/dbus-1/system-services dbus-1 system_bus_services_dir "")
  dorvik_system_dir(DORVIK_DBUS_POLICY_DIR /usr/share/dbus-1/system.d dbus-1 datadir /dbus-1/system.d)
  dorvik_system_dir(DORVIK_POLKIT_ACTIONS_DIR /usr/share/polkit-1/actions polkit-gobject-1 actiondir "")
  dorvik_system_dir(DORVIK_SYSTEMD_UNIT_DIR /usr/lib/systemd/system systemd systemdsystemunitdir "")

  # Exec and ExecStart name the helper under the prefix given at install
  # time (cmake --install --prefix, CPack's /usr), so the files are made then.
  set(generated ${CMAKE_BINARY_DIR}/powerhelper)
  set(restore_unit dorvik-power-helper-restore.service)
  install(CODE "
    set(libexec \"${CMAKE_INSTALL_LIBEXECDIR}\")
    if(NOT IS_ABSOLUTE \"\${libexec}\")
      set(libexec \"\${CMAKE_INSTALL_PREFIX}/\${libexec}\")
    endif()
    set(DORVIK_POWER_HELPER_PATH \"\${libexec}/dorvik/dorvik-power-helper\")
    foreach(file io.github.dorvik.PowerHelper.service dorvik-power-helper.service ${restore_unit})
      configure_file(\"${DORVIK_DATA_DIR}/\${file}.in\" \"${generated}/\${file}\" @ONLY)
    endforeach()
  ")
  install(FILES ${generated}/io.github.dorvik.PowerHelper.service DESTINATION ${DORVIK_DBUS_SERVICES_DIR})
  install(FILES ${DORVIK_DATA_DIR}/io.github.dorvik.PowerHelper.conf DESTINATION ${DORVIK_DBUS_POLICY_DIR})
  install(FILES ${DORVIK_DATA_DIR}/io.github.dorvik.policy DESTINATION ${DORVIK_POLKIT_ACTIONS_DIR})
  install(FILES ${generated}/dorvik-power-helper.service ${generated}/${restore_unit}
    DESTINATION ${DORVIK_SYSTEMD_UNIT_DIR})
  # Enabled as installed: a power cut mid-run must be undone at the next boot
  # even where nobody ran systemctl enable.
  install(CODE "
    set(wants \"\$ENV{DESTDIR}${DORVIK_SYSTEMD_UNIT_DIR}/multi-user.target.wants\")
    file(MAKE_DIRECTORY \"\${wants}\")
    file(CREATE_LINK ../${restore_unit} \"\${wants}/${restore_unit}\" SYMBOLIC)
  ")
endif()
