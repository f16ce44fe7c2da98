# Writes version.h for the programs' --version: the project version and the
# commit the build comes from. Run at every build (cmake -P) so that the commit
# follows checkouts; the file is rewritten only when its text changes, so an
# unchanged tree recompiles nothing.
#   -DSOURCE_DIR=<tree> -DOUTPUT=<file> -DVERSION=<x.y>
set(commit "unknown")
find_package(Git QUIET)
if(GIT_FOUND AND EXISTS "${SOURCE_DIR}/.git")
  execute_process(
    COMMAND "${GIT_EXECUTABLE}" describe --always --dirty --abbrev=12
    WORKING_DIRECTORY "${SOURCE_DIR}"
    OUTPUT_VARIABLE described
    OUTPUT_STRIP_TRAILING_WHITESPACE
    ERROR_QUIET
    RESULT_VARIABLE failed)
  if(NOT failed AND described)
    set(commit "${described}")
  endif()
endif()

set(text "// Generated at build time by cmake/write_version.cmake; do not edit.
#pragma once

#define VORNIK_VERSION \"${VERSION}\"
#define VORNIK_COMMIT \"${commit}\"
")
set(old "")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL text)
  file(WRITE "${OUTPUT}" "${text}")
endif()
