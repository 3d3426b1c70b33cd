# What `make package` builds with CPack: on Linux a Debian package, from the MinGW build
# a zip archive for Windows. Both carry the tool, its manual and the README's facts.

set(RUBO_PACKAGE_DIRECTORY ${CMAKE_SOURCE_DIR}/build/package)

# What the Windows archive gives its user beside rubo.exe, in the given directory and with
# the line ends of Windows: README.txt, written for that user (docs/README-windows.txt.in),
# and the manual as plain text, rubo.txt (Windows has no man). The manual is rendered
# without hyphenation (HY=0) and with the register windows set, which keeps the Windows
# examples alone and breaks no word at a hyphen of its own.
function(rubo_windows_texts directory)
  configure_file(${CMAKE_SOURCE_DIR}/docs/README-windows.txt.in ${directory}/README.txt
                 @ONLY NEWLINE_STYLE CRLF)
  add_custom_command(OUTPUT ${directory}/rubo.txt
    COMMAND sh -c "groff -man -Tutf8 -P-bcou -rHY=0 -rwindows=1 '${CMAKE_SOURCE_DIR}/docs/rubo.1' > '${directory}/rubo.lf.txt' && sed 's/$/\\r/' '${directory}/rubo.lf.txt' > '${directory}/rubo.txt'"
    DEPENDS ${CMAKE_SOURCE_DIR}/docs/rubo.1
    VERBATIM)
  add_custom_target(rubo_windows_texts ALL DEPENDS ${directory}/rubo.txt)
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
  set(texts ${CMAKE_BINARY_DIR}/package-files)
  rubo_windows_texts(${texts})
  install(TARGETS rubo RUNTIME DESTINATION .)
  install(FILES ${texts}/README.txt ${texts}/rubo.txt DESTINATION .)
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
