# The install for every user of the machine: the program folder under
# PREFIX/lib/rookwell, the `rookwell` command, the menu entry, its icons and
# the file types the client opens. `cmake --install` honours DESTDIR;
# `make uninstall` (desktop/uninstall) takes it all away again.
set(ROOKWELL_PROGRAM_DIR lib/rookwell)
set(ROOKWELL_ICON_SIZES 16 32 48 64 128 256)

set(rookwell_destinations bin share/applications share/mime/packages ${ROOKWELL_PROGRAM_DIR})
foreach(size ${ROOKWELL_ICON_SIZES})
  list(APPEND rookwell_destinations share/icons/hicolor/${size}x${size}/apps)
endforeach()

# Before anything is copied: the folders and the databases' files that are
# the prefix's already, which the removal must leave.
install(CODE "
  set(ROOKWELL_SOURCE_DIR \"${CMAKE_SOURCE_DIR}\")
  set(ROOKWELL_BUILD_DIR \"${CMAKE_BINARY_DIR}\")
  set(ROOKWELL_PROGRAM_DIR \"${ROOKWELL_PROGRAM_DIR}\")
  set(ROOKWELL_DESTINATIONS \"${rookwell_destinations}\")
  include(\"${CMAKE_SOURCE_DIR}/cmake/InstallSteps.cmake\")
  rookwell_folders_before(ROOKWELL_FOLDERS_BEFORE)
  rookwell_databases_before(ROOKWELL_DATABASES_BEFORE)
")

set(rookwell_programs tavrin updater linkhop)
if(TARGET gridmoor-server)
  list(APPEND rookwell_programs gridmoor-server)
endif()
install(TARGETS ${rookwell_programs} RUNTIME DESTINATION ${ROOKWELL_PROGRAM_DIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/ DESTINATION ${ROOKWELL_PROGRAM_DIR}
  DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# The mark that keeps every client, root's too, from writing here.
install(FILES ${CMAKE_SOURCE_DIR}/desktop/installed.txt DESTINATION ${ROOKWELL_PROGRAM_DIR})

install(PROGRAMS ${CMAKE_SOURCE_DIR}/desktop/rookwell DESTINATION bin)
install(FILES ${CMAKE_SOURCE_DIR}/desktop/rookwell.xml DESTINATION share/mime/packages)
foreach(size ${ROOKWELL_ICON_SIZES})
  install(FILES ${CMAKE_SOURCE_DIR}/data/assets/images/icons/rookwell-${size}.png
    DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME rookwell.png)
endforeach()

install(CODE [[
  # The menu entry starts the command by its full path: PREFIX/bin need not
  # be on anyone's PATH. Under DESTDIR it is the path the files will have.
  rookwell_menu_entry("${CMAKE_INSTALL_PREFIX}/bin/rookwell" "${ROOKWELL_BUILD_DIR}/desktop")
  file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/share/applications" TYPE FILE
    FILES "${ROOKWELL_BUILD_DIR}/desktop/rookwell.desktop")

  # Installed straight into a live prefix, the desktop learns of the new
  # types, the menu entry and the icon; a staged install (DESTDIR) leaves
  # that to the package's own scripts.
  if("$ENV{DESTDIR}" STREQUAL "")
    execute_process(COMMAND sh "${ROOKWELL_SOURCE_DIR}/desktop/refresh-databases" "${CMAKE_INSTALL_PREFIX}")
  endif()
  rookwell_record_folders("${ROOKWELL_FOLDERS_BEFORE}" "${CMAKE_INSTALL_MANIFEST_FILES}"
    "${ROOKWELL_BUILD_DIR}/install_folders.txt")
  rookwell_record_databases("${ROOKWELL_DATABASES_BEFORE}" "${ROOKWELL_BUILD_DIR}/install_databases.txt")
  rookwell_record_place("${ROOKWELL_BUILD_DIR}/install_place.txt")
]])
