# Desktop integration of the windowed program: the menu entry, the three
# document types (so a file manager opens .qry, .rst and .sch files with
# Korvane), the icon, and the tips shipped with the program.
include(GNUInstallDirs)

install(FILES ${CMAKE_CURRENT_LIST_DIR}/../share/applications/korvane.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/../share/mime/packages/korvane.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/../share/icons/hicolor/scalable/apps/korvane.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/../share/korvane/Korvane.txt
        DESTINATION ${CMAKE_INSTALL_DATADIR}/korvane)

# Straight into a live prefix the desktop's caches are brought up to date;
# a staged install (DESTDIR, packaging) leaves that to the package's triggers.
install(CODE "
  if(\"\$ENV{DESTDIR}\" STREQUAL \"\")
    find_program(KORVANE_UPDATE_MIME update-mime-database)
    if(KORVANE_UPDATE_MIME)
      execute_process(COMMAND \${KORVANE_UPDATE_MIME} \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/mime\" RESULT_VARIABLE ignored OUTPUT_QUIET)
    endif()
    find_program(KORVANE_UPDATE_DESKTOP update-desktop-database)
    if(KORVANE_UPDATE_DESKTOP)
      execute_process(COMMAND \${KORVANE_UPDATE_DESKTOP} \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications\"
                      RESULT_VARIABLE ignored OUTPUT_QUIET)
    endif()
  endif()
")
