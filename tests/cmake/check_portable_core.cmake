cmake_minimum_required(VERSION 3.20)
# The library core must build with nothing but the C++ standard library: every <header> that
# its sources and public headers include is a standard one. Run as
#   cmake -DCORE_DIR=<quorvel4 dir> -P check_portable_core.cmake
set(standard
  algorithm array atomic bit cassert cctype cerrno cfloat charconv chrono climits cmath compare concepts
  cstdarg cstddef cstdint cstdio cstdlib cstring ctime functional initializer_list iterator limits
  deque filesystem fstream ios iostream map memory mutex new numbers numeric optional set span sstream stdexcept string string_view system_error
  tuple type_traits utility vector
  # The sync project's parser: header-only, the same source on every platform, built without
  # exceptions, so that its faults come back by longjmp.
  rapidxml.hpp csetjmp)
file(GLOB_RECURSE sources ${CORE_DIR}/include/*.h ${CORE_DIR}/src/*.h ${CORE_DIR}/src/*.cpp)
# The back ends, the system primitives (NAME_posix.cpp, NAME_windows.cpp: the signal handlers)
# and the builds of the rasteriser's loops and the terminal encoder's rows for particular
# processors (NAME_x86_64.cpp beside the portable NAME_generic.cpp that CMake picks elsewhere)
# are where platforms differ.
list(FILTER sources EXCLUDE REGEX "/src/backends/|_(posix|windows|web|x86_64)\\.cpp$")
set(problems "")
foreach(source ${sources})
  file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*<")
  foreach(line ${includes})
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*<([^>]+)>.*" "\\1" header "${line}")
    if(NOT header IN_LIST standard)
      string(APPEND problems "  ${source}: <${header}>\n")
    endif()
  endforeach()
  file(STRINGS ${source} extensions REGEX "__attribute__|__int128|__builtin|long double")
  foreach(line ${extensions})
    # Comments may speak of what the code avoids.
    if(NOT source MATCHES "format_check.h$" AND NOT line MATCHES "^[ \t]*//")
      string(APPEND problems "  ${source}: ${line}\n")
    endif()
  endforeach()
endforeach()
if(problems)
  message(FATAL_ERROR "The library core uses what is not portable C++:\n${problems}")
endif()
list(LENGTH sources count)
message(STATUS "${count} files of the core use the C++ standard library only")
