# What `make package` builds with CPack: on Linux a Debian package, from the MinGW build
# a zip archive for Windows. Both carry the tool, its manual and the README's facts.

set(RUBO_PACKAGE_DIRECTORY ${CMAKE_SOURCE_DIR}/build/package)

# The manual as plain text, for the Windows archive (Windows has no man).
function(rubo_manual_as_text output)
  add_custom_command(OUTPUT ${output}
    COMMAND sh -c "groff -man -Tutf8 -P-bcou '${CMAKE_SOURCE_DIR}/docs/rubo.1' | sed 's/$/\\r/' > '${output}'"
    DEPENDS ${CMAKE_SOURCE_DIR}/docs/rubo.1
    VERBATIM)
endfunction()

set(CPACK_PACKAGE_NAME rubo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "RUBO developers")
set(CPACK_PACKAGE_CONTACT "RUBO developers <rubo@users.noreply.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "delete matching files in a directory and all of its subdirectories")
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "rubo takes one file specification such as '*.obj;*.res', finds every matching"
  "file in the current directory (or the directories the specification names) and"
  "in all subdirectories, shows the problems it met and asks before going on when"
  "there are any, deletes the files one by one with a line per file, can be"
  "stopped with Escape or Ctrl+C, and ends with a summary.")
set(CPACK_OUTPUT_FILE_PREFIX ${RUBO_PACKAGE_DIRECTORY})
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

if(WIN32)
  # rubo.exe is linked statically (see the top-level list), so it needs nothing beside it.
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME rubo-${PROJECT_VERSION}-win64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  rubo_manual_as_text(${CMAKE_BINARY_DIR}/rubo.txt)
  add_custom_target(rubo_manual_text ALL DEPENDS ${CMAKE_BINARY_DIR}/rubo.txt)
  install(TARGETS rubo RUNTIME DESTINATION .)
  install(FILES README.md ${CMAKE_BINARY_DIR}/rubo.txt DESTINATION .)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The manual page and the changelog compressed as Debian wants them (no time stamp, so
  # that the same sources give the same package).
  set(compressed ${CMAKE_BINARY_DIR}/package-files)
  add_custom_command(OUTPUT ${compressed}/rubo.1.gz ${compressed}/changelog.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${compressed}
    COMMAND sh -c "gzip -9n -c '${CMAKE_SOURCE_DIR}/docs/rubo.1' > '${compressed}/rubo.1.gz'"
    COMMAND sh -c "gzip -9n -c '${CMAKE_SOURCE_DIR}/docs/changelog' > '${compressed}/changelog.gz'"
    DEPENDS ${CMAKE_SOURCE_DIR}/docs/rubo.1 ${CMAKE_SOURCE_DIR}/docs/changelog
    VERBATIM)
  add_custom_target(rubo_package_files ALL DEPENDS ${compressed}/rubo.1.gz ${compressed}/changelog.gz)
  install(TARGETS rubo)
  install(FILES ${compressed}/rubo.1.gz DESTINATION share/man/man1)
  install(FILES docs/copyright ${compressed}/changelog.gz DESTINATION share/doc/rubo)
endif()

include(CPack)
