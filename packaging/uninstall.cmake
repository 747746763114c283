# Removes every file the last install put in place, as its manifest lists them
# (under $DESTDIR, as that install was), and the manifest itself.
if(NOT EXISTS "${MANIFEST}")
  message(FATAL_ERROR "Nothing to uninstall: ${MANIFEST} is missing (make install writes it).")
endif()
file(STRINGS "${MANIFEST}" _files)
foreach(f IN LISTS _files)
  set(f "$ENV{DESTDIR}${f}")
  if(EXISTS "${f}" OR IS_SYMLINK "${f}")
    message(STATUS "Removing ${f}")
    file(REMOVE "${f}")
  endif()
endforeach()
file(REMOVE "${MANIFEST}")
