# A release build takes Debian's hardening flags from dpkg-buildflags (stack protector, fortify,
# format checks, read-only relocations bound at start), as Debian's own packages are built.
# Sanitizer builds keep theirs: the flags would only get in their way.
if(CMAKE_BUILD_TYPE STREQUAL "Release" AND NOT VANTOR_SANITIZE AND NOT VANTOR_TSAN)
  find_program(DPKG_BUILDFLAGS dpkg-buildflags REQUIRED)
  foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                            ${DPKG_BUILDFLAGS} --get ${kind}
                    OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    list(FILTER flags EXCLUDE REGEX "^-(O[0-9s]?|g)$")  # the build type says how to optimise
    set(DEBIAN_${kind} ${flags})
  endforeach()
  add_compile_options(${DEBIAN_CPPFLAGS} ${DEBIAN_CXXFLAGS})
  add_link_options(${DEBIAN_LDFLAGS})
endif()
