# What the Windows programs need beside them, installed with them: Qt's DLLs, the platform,
# style and SQLite driver plugins, the compiler's run-time DLLs, and the licences of what is shipped. The project
# does this itself because the cross-built Qt has no windeployqt; an MSVC build runs windeployqt
# instead (packaging/windows/msvc-runner.md).
foreach(module Core Gui Widgets Sql)
  install(FILES $<TARGET_FILE:Qt6::${module}> DESTINATION ${CMAKE_INSTALL_BINDIR})
endforeach()
install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin>
  DESTINATION ${CMAKE_INSTALL_BINDIR}/platforms)
install(FILES $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin>
  DESTINATION ${CMAKE_INSTALL_BINDIR}/styles)
# The records are kept in SQLite there (the kit has no PostgreSQL client).
install(FILES $<TARGET_FILE:Qt6::QSQLiteDriverPlugin>
  DESTINATION ${CMAKE_INSTALL_BINDIR}/sqldrivers)

if(MINGW)
  foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
      OUTPUT_VARIABLE runtime OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${runtime}" OR NOT EXISTS "${runtime}")
      message(FATAL_ERROR "${CMAKE_CXX_COMPILER} knows no ${dll} to ship")
    endif()
    install(FILES ${runtime} DESTINATION ${CMAKE_INSTALL_BINDIR})
  endforeach()
endif()

if(VELD32_WINDOWS_KIT AND EXISTS ${VELD32_WINDOWS_KIT}/LICENSES/qt6-base.copyright)
  install(FILES ${VELD32_WINDOWS_KIT}/LICENSES/qt6-base.copyright DESTINATION licenses)
  install(DIRECTORY ${VELD32_WINDOWS_KIT}/LICENSES/qtbase/ DESTINATION licenses/qtbase)
  if(EXISTS ${VELD32_WINDOWS_KIT}/LICENSES/sqlite3.copyright)
    install(FILES ${VELD32_WINDOWS_KIT}/LICENSES/sqlite3.copyright DESTINATION licenses)
  endif()
endif()
install(FILES ${CMAKE_CURRENT_LIST_DIR}/NOTICE.txt DESTINATION licenses)
