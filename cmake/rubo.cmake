# Sources are picked up by folder, so adding a file never means editing a list.
function(rubo_sources out)
  file(GLOB found CONFIGURE_DEPENDS ${ARGN})
  list(SORT found)
  set(${out} ${found} PARENT_SCOPE)
endfunction()

# Our warning settings, linked into every target built from our sources (and only
# those: GoogleTest is compiled with its own).
add_library(rubo_warnings INTERFACE)
target_compile_options(rubo_warnings INTERFACE -Wall -Wextra)
