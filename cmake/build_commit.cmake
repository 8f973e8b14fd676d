# The commit the sources are at, for every program's --version: "0123456789ab, 2026-12-09" (the
# commit date, UTC), "-dirty" after the hash when tracked files differ from it, or "unknown"
# outside a git checkout (a source tarball). Run as a script at every build (cmake -P) with
# SOURCE_DIR, OUTPUT and GIT (empty when there is no git); OUTPUT is rewritten only when its
# text changes, so a build of the same commit recompiles nothing and a new commit recompiles
# one file without a new configure.
set(commit "unknown")
if(GIT)
  # Only the sources' own repository counts: a tarball unpacked inside another checkout must
  # not take that one's commit.
  execute_process(COMMAND ${GIT} -C ${SOURCE_DIR} rev-parse --show-toplevel
                  OUTPUT_VARIABLE top RESULT_VARIABLE failed OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(NOT failed)
    file(REAL_PATH "${top}" top)
    file(REAL_PATH "${SOURCE_DIR}" source)
  endif()
  if(NOT failed AND top STREQUAL source)
    execute_process(COMMAND ${GIT} -C ${SOURCE_DIR} rev-parse --short=12 HEAD
                    OUTPUT_VARIABLE hash RESULT_VARIABLE failed OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC ${GIT} -C ${SOURCE_DIR} log -1 --format=%cd
                            --date=format-local:%Y-%m-%d HEAD
                    OUTPUT_VARIABLE date OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    execute_process(COMMAND ${GIT} -C ${SOURCE_DIR} status --porcelain --untracked-files=no
                    OUTPUT_VARIABLE changes ERROR_QUIET)
    if(NOT failed AND hash)
      set(commit "${hash}")
      if(changes)
        string(APPEND commit "-dirty")
      endif()
      string(APPEND commit ", ${date}")
    endif()
  endif()
endif()
set(text "// Made by cmake/build_commit.cmake at build time.\n#define QVL_BUILD_COMMIT \"${commit}\"\n")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL text)
  file(WRITE "${OUTPUT}" "${text}")
endif()
