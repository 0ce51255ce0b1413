# SPDX-License-Identifier: GPL-3.0-or-later
# Installs Dorvik as a desktop application: the programs, the menu entry,
# the icon in the hicolor theme, the AppStream metainfo, the manual pages
# and what Debian asks of every package's documentation. Included at the
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
# Its <releases> come from data/changelog (cmake/changelog.cmake).
configure_file(${DORVIK_DATA_DIR}/${DORVIK_APP_ID}.metainfo.xml.in
  ${CMAKE_BINARY_DIR}/data/${DORVIK_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/data/${DORVIK_APP_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${DORVIK_DATA_DIR}/icons/${DORVIK_APP_ID}.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${DORVIK_DATA_DIR}/icons/${DORVIK_APP_ID}.png
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps)

# Installs source gzipped as Debian wants it: -n leaves out the name and
# time, so the package is the same on every build. Pass @ONLY to fill in
# the release's @DORVIK_VERSION@ and @DORVIK_MAN_DATE@, else COPYONLY.
function(dorvik_install_gzipped source destination how)
  get_filename_component(name ${source} NAME)
  set(copy ${CMAKE_BINARY_DIR}/data/${name})
  configure_file(${source} ${copy} ${how})
  install(CODE "execute_process(COMMAND gzip -9n -c \"${copy}\" OUTPUT_FILE \"${copy}.gz\" COMMAND_ERROR_IS_FATAL ANY)")
  install(FILES ${copy}.gz DESTINATION ${destination})
endfunction()

dorvik_install_gzipped(${DORVIK_DATA_DIR}/dorvik.1 ${CMAKE_INSTALL_MANDIR}/man1 @ONLY)
if(TARGET dorvik-demo)
  dorvik_install_gzipped(${DORVIK_DATA_DIR}/dorvik-demo.1 ${CMAKE_INSTALL_MANDIR}/man1 @ONLY)
endif()
dorvik_install_gzipped(${DORVIK_DATA_DIR}/changelog ${CMAKE_INSTALL_DOCDIR} COPYONLY)
install(FILES ${DORVIK_DATA_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${DORVIK_DATA_DIR}/dorvik.lintian-overrides
  DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME dorvik)

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
    execute_process(COMMAND \"${CMAKE_COMMAND}\" -E create_symlink ../${restore_unit} \"\${wants}/${restore_unit}\"
                    COMMAND_ERROR_IS_FATAL ANY)
  ")
  dorvik_install_gzipped(${DORVIK_DATA_DIR}/dorvik-power-helper.8 ${CMAKE_INSTALL_MANDIR}/man8 @ONLY)
endif()
