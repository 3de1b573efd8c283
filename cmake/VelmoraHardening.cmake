# The distribution's hardening for every build, as Debian builds its own packages:
# stack protector, fortified C library calls, format-string checks, full RELRO and
# BIND_NOW (executables are PIE by the compiler's default). The tests run the code
# that ships, so the build they use is hardened too.
option(VELMORA_HARDENING "Build with the distribution's hardening flags" ON)
if(NOT VELMORA_HARDENING)
  return()
endif()

# dpkg-buildflags says what this Debian release hardens with; where it is missing, the
# flags it gives on Debian 12.
set(hardening_compile -fstack-protector-strong -Wformat -Werror=format-security)
set(hardening_fortify -D_FORTIFY_SOURCE=2)
set(hardening_link -Wl,-z,relro -Wl,-z,now)
find_program(VELMORA_DPKG_BUILDFLAGS dpkg-buildflags)
if(VELMORA_DPKG_BUILDFLAGS)
  set(flags)
  foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
              ${VELMORA_DPKG_BUILDFLAGS} --get ${kind}
      OUTPUT_VARIABLE value OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    separate_arguments(value UNIX_COMMAND "${value}")
    list(APPEND flags ${value})
  endforeach()
  # Only the hardening: optimisation, debug information and path maps stay the build
  # type's.
  set(hardening_compile ${flags})
  list(FILTER hardening_compile INCLUDE REGEX "^-(fstack-|fcf-protection|Wformat|Werror=format)")
  set(hardening_fortify ${flags})
  list(FILTER hardening_fortify INCLUDE REGEX "^-D_FORTIFY_SOURCE=")
  set(hardening_link ${flags})
  list(FILTER hardening_link INCLUDE REGEX "^-Wl,-z,(relro|now)$")
endif()

add_compile_options(${hardening_compile})
# Fortified calls need the optimiser (glibc warns without it) and would hide errors from
# the sanitizers, which check the same calls themselves.
if(NOT VELMORA_SANITIZE)
  foreach(flag IN LISTS hardening_fortify)
    add_compile_options($<$<NOT:$<CONFIG:Debug>>:${flag}>)
  endforeach()
endif()
add_link_options(${hardening_link})
