# Run by `cmake --install` (see VelmoraInstall.cmake): writes
# DATADIR/dbus-1/services/Tarnel.tnApp.service with the installed program's path.
set(program "${CMAKE_INSTALL_PREFIX}/${VELMORA_INSTALL_PROGRAM_DIR}/velmora")
# The bus splits Exec like a shell; a path of plain characters needs no quoting, any
# other is single-quoted, as the program quotes its own per-user file.
if(NOT program MATCHES "^[A-Za-z0-9/._+-]+$")
  string(REPLACE "\\" "\\\\" program "${program}")
  string(REPLACE "'" "'\"'\"'" program "${program}")
  set(program "'${program}'")
endif()
set(file "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${VELMORA_INSTALL_DATADIR}/dbus-1/services/Tarnel.tnApp.service")
message(STATUS "Installing: ${file}")
file(WRITE "${file}" "[D-BUS Service]\nName=Tarnel.tnApp\nExec=${program} -embedding\n")
file(CHMOD "${file}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${file}")
