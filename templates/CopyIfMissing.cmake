# cmake -DSOURCE=... -DTARGET=... -P CopyIfMissing.cmake
# Makes TARGET a copy of SOURCE only when TARGET does not exist: a library file that is
# there already holds the user's data and is never replaced by a build.
if(NOT EXISTS "${TARGET}")
  file(COPY_FILE "${SOURCE}" "${TARGET}")
  # A library file: the user's alone.
  file(CHMOD "${TARGET}" PERMISSIONS OWNER_READ OWNER_WRITE)
  message(STATUS "Created ${TARGET}")
endif()
