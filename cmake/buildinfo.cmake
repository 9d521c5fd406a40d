# Writes the build's version header: the project version and, when the sources are
# a git checkout, the commit they were built from ("+" when the tree had changes
# that were not committed). Runs on every build; the file is rewritten only when
# its text changes, so an unchanged commit recompiles nothing.
#   cmake -DSOURCE_DIR=... -DOUTPUT=... -DVERSION=... -P buildinfo.cmake
set(commit "")
find_program(GIT_PROGRAM git)
if(GIT_PROGRAM AND EXISTS "${SOURCE_DIR}/.git")
  execute_process(COMMAND "${GIT_PROGRAM}" -C "${SOURCE_DIR}" rev-parse --short=10 HEAD
                  OUTPUT_VARIABLE commit OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE rc ERROR_QUIET)
  if(NOT rc EQUAL 0)
    set(commit "")
  else()
    execute_process(COMMAND "${GIT_PROGRAM}" -C "${SOURCE_DIR}" status --porcelain --untracked-files=no
                    OUTPUT_VARIABLE changes RESULT_VARIABLE rc ERROR_QUIET)
    if(rc EQUAL 0 AND NOT changes STREQUAL "")
      string(APPEND commit "+")
    endif()
  endif()
endif()

set(text "// Written by cmake/buildinfo.cmake at build time.\n#pragma once\n#define WIP_VERSION_TEXT \"${VERSION}\"\n#define WIP_COMMIT_TEXT \"${commit}\"\n")
set(old "")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL text)
  file(WRITE "${OUTPUT}" "${text}")
endif()
