# Installation: `cmake --install` (and the package made from it).
#
# The program folder of an installed program is PREFIX/lib/velmora: every executable
# and the shipped database files together, as in the build folder, since the programs
# find the templates and each other beside themselves. The commands on the path are
# links into it.
set(VELMORA_INSTALL_PROGRAM_DIR lib/velmora)

install(TARGETS velmora velmora-tool velmora-archive-reader RUNTIME DESTINATION ${VELMORA_INSTALL_PROGRAM_DIR})
install(FILES ${VELMORA_BIN_DIR}/tntempl.mdb ${VELMORA_BIN_DIR}/template.tnt
        DESTINATION ${VELMORA_INSTALL_PROGRAM_DIR})
# Only the pristine library: a user's library is made from it in their own data folder.
install(FILES ${VELMORA_BIN_DIR}/shipped/tndb.mdb DESTINATION ${VELMORA_INSTALL_PROGRAM_DIR}/shipped)

foreach(program velmora velmora-tool)
  install(CODE "
    set(bindir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    file(MAKE_DIRECTORY \"\${bindir}\")
    file(RELATIVE_PATH target \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\"
         \"\${CMAKE_INSTALL_PREFIX}/${VELMORA_INSTALL_PROGRAM_DIR}/${program}\")
    message(STATUS \"Installing: \${bindir}/${program} -> \${target}\")
    file(CREATE_LINK \"\${target}\" \"\${bindir}/${program}\" SYMBOLIC)
  ")
endforeach()

# The automation service's activation file for every user of the machine, naming the
# installed program: the bus starts it for the file managers' entry before any user has
# started it, and an installed program writes no activation file of its own. Written at
# install time, when the prefix (the package's /usr) is known.
install(CODE "set(VELMORA_INSTALL_PROGRAM_DIR \"${VELMORA_INSTALL_PROGRAM_DIR}\")
set(VELMORA_INSTALL_DATADIR \"${CMAKE_INSTALL_DATADIR}\")")
install(SCRIPT ${CMAKE_CURRENT_LIST_DIR}/InstallActivationFile.cmake)
