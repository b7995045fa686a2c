# The install for every user of the machine: the program folder under
# PREFIX/lib/rookwell, the `rookwell` command, the menu entry, its icons and
# the file types the client opens. `cmake --install` honours DESTDIR.
set(ROOKWELL_PROGRAM_DIR lib/rookwell)

set(rookwell_programs tavrin updater linkhop)
if(TARGET gridmoor-server)
  list(APPEND rookwell_programs gridmoor-server)
endif()
install(TARGETS ${rookwell_programs} RUNTIME DESTINATION ${ROOKWELL_PROGRAM_DIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/ DESTINATION ${ROOKWELL_PROGRAM_DIR}
  DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(PROGRAMS ${CMAKE_SOURCE_DIR}/desktop/rookwell DESTINATION bin)
install(FILES ${CMAKE_SOURCE_DIR}/desktop/rookwell.desktop DESTINATION share/applications)
install(FILES ${CMAKE_SOURCE_DIR}/desktop/rookwell.xml DESTINATION share/mime/packages)
foreach(size 16 32 48 64 128 256)
  install(FILES ${CMAKE_SOURCE_DIR}/data/assets/images/icons/rookwell-${size}.png
    DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME rookwell.png)
endforeach()

# Installed straight into a live prefix, the desktop learns of the new
# types and the menu entry; a staged install (DESTDIR) leaves that to the
# package's own scripts.
install(CODE [[
  if(NOT DEFINED ENV{DESTDIR} OR "$ENV{DESTDIR}" STREQUAL "")
    find_program(ROOKWELL_UPDATE_MIME update-mime-database)
    find_program(ROOKWELL_UPDATE_DESKTOP update-desktop-database)
    if(ROOKWELL_UPDATE_MIME)
      execute_process(COMMAND ${ROOKWELL_UPDATE_MIME} "${CMAKE_INSTALL_PREFIX}/share/mime")
    endif()
    if(ROOKWELL_UPDATE_DESKTOP)
      execute_process(COMMAND ${ROOKWELL_UPDATE_DESKTOP} "${CMAKE_INSTALL_PREFIX}/share/applications")
    endif()
  endif()
]])
