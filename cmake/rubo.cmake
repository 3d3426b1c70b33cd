# Sources are picked up by folder, so adding a file never means editing a list.
function(rubo_sources out)
  file(GLOB found CONFIGURE_DEPENDS ${ARGN})
  list(SORT found)
  set(${out} ${found} PARENT_SCOPE)
endfunction()
