# The script engine of the shows: Duktape, compiled from the one C file that Debian's duktape-dev
# ships, the same source for Linux, MinGW-w64 and emscripten, so that every platform runs the same
# engine. Nothing of it is kept in the tree: the source is copied into the build folder beside a
# configuration header made from the package's own at configure time, with the few options a
# show needs changed:
#   - fast integers (scripts that work pixel by pixel run about twice as fast);
#   - an interrupt check, through which a script that runs away is stopped;
#   - a Date that never reads the wall clock or the local time zone (the sandbox also hides Date
#     from scripts: a show must not see either).
# (The copy is needed because duktape.c includes "duk_config.h" with quotes, which finds the
# header beside it before any include path.)
set(QVL_DUKTAPE_SOURCE_DIR "/usr/share/duktape" CACHE PATH "Where duktape-dev keeps duktape.c")
foreach(file duktape.c duktape.h duk_config.h)
  if(NOT EXISTS "${QVL_DUKTAPE_SOURCE_DIR}/${file}")
    message(FATAL_ERROR "${QVL_DUKTAPE_SOURCE_DIR}/${file} is missing: install Debian's duktape-dev "
                        "(make installs it), or set QVL_DUKTAPE_SOURCE_DIR")
  endif()
endforeach()

set(QVL_DUKTAPE_DIR "${CMAKE_BINARY_DIR}/duktape")
configure_file("${QVL_DUKTAPE_SOURCE_DIR}/duktape.c" "${QVL_DUKTAPE_DIR}/duktape.c" COPYONLY)
configure_file("${QVL_DUKTAPE_SOURCE_DIR}/duktape.h" "${QVL_DUKTAPE_DIR}/duktape.h" COPYONLY)

file(READ "${QVL_DUKTAPE_SOURCE_DIR}/duk_config.h" QVL_DUK_CONFIG)
# Each change must find its line: a later package that words the header differently stops the
# configuration here instead of building an engine without the option.
function(qvl_duk_config_replace from to)
  string(FIND "${QVL_DUK_CONFIG}" "${from}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "duk_config.h of duktape-dev has no line '${from}'")
  endif()
  string(REPLACE "${from}" "${to}" changed "${QVL_DUK_CONFIG}")
  set(QVL_DUK_CONFIG "${changed}" PARENT_SCOPE)
endfunction()
qvl_duk_config_replace("#undef DUK_USE_FASTINT\n" "#define DUK_USE_FASTINT\n")
qvl_duk_config_replace("#undef DUK_USE_INTERRUPT_COUNTER\n" "#define DUK_USE_INTERRUPT_COUNTER\n")
qvl_duk_config_replace("#undef DUK_USE_EXEC_TIMEOUT_CHECK\n"
  "#if defined(__cplusplus)\nextern \"C\"\n#endif\nint qvl_script_interrupted(void *udata);\n#define DUK_USE_EXEC_TIMEOUT_CHECK(udata) qvl_script_interrupted((udata))\n")
qvl_duk_config_replace("#undef DUK_USE_DATE_GET_NOW\n" "#define DUK_USE_DATE_GET_NOW(ctx) 0.0\n")
qvl_duk_config_replace("#undef DUK_USE_DATE_GET_LOCAL_TZOFFSET\n" "#define DUK_USE_DATE_GET_LOCAL_TZOFFSET(d) 0\n")
file(GENERATE OUTPUT "${QVL_DUKTAPE_DIR}/duk_config.h" CONTENT "${QVL_DUK_CONFIG}")

add_library(qvl_duktape STATIC "${QVL_DUKTAPE_DIR}/duktape.c")
target_include_directories(qvl_duktape SYSTEM PUBLIC "${QVL_DUKTAPE_DIR}")
# The engine's own code is not ours to warn about; it keeps the exact floating point of the rest.
target_compile_options(qvl_duktape PRIVATE -w -ffp-contract=off)
set_target_properties(qvl_duktape PROPERTIES COMPILE_WARNING_AS_ERROR OFF C_STANDARD 99)
# In the sanitizer and fuzzing builds the engine itself is built plain, without debug
# information: it relies on C idioms the undefined-behaviour sanitizer reports (an offset of
# zero added to a null pointer in its property tables), its instrumented build takes most of a
# minute and runs every script eight times slower, and what those builds are for is our code,
# which stays instrumented: every block the engine hands it, or takes from it, is still watched,
# since the engine's heap is allocated by our code through malloc.
if(QVL_SANITIZE OR QVL_FUZZ)
  target_compile_options(qvl_duktape PRIVATE -fno-sanitize=all -fno-sanitize-coverage=trace-pc-guard,trace-cmp,indirect-calls,inline-8bit-counters,pc-table -g0)
endif()
if(NOT WIN32 AND NOT EMSCRIPTEN)
  target_link_libraries(qvl_duktape PUBLIC m)
endif()
