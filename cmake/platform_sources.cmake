# Which source files a build compiles, decided by one rule for every folder.
#
# A portable file (NAME.cpp) holds the logic and is always built. What a system or a processor
# does differently sits in small files beside it, named by a suffix:
#   NAME_posix.cpp, NAME_windows.cpp, NAME_web.cpp  one per system (QVL_PLATFORM)
#   NAME_x86_64.cpp, NAME_generic.cpp               one per processor (QVL_PROCESSOR)
# For each NAME the build takes
#   - of the system files: NAME_<system>.cpp; in a web build with no NAME_web.cpp, NAME_posix.cpp,
#     since emscripten offers the POSIX calls; none where the system has no file (a helper
#     only one system needs, such as its MP3 decoder);
#   - of the processor files: NAME_<processor>.cpp, else NAME_generic.cpp, which must exist.
# A processor file is the same logic compiled for wider instructions, so every processor
# file needs the generic one that any other machine falls back on.

# The system: posix (Linux and other Unix desktops), windows (the MinGW-w64 cross build) or
# web (emscripten).
if(EMSCRIPTEN)
  set(QVL_PLATFORM web)
elseif(WIN32)
  set(QVL_PLATFORM windows)
else()
  set(QVL_PLATFORM posix)
endif()

# The processor, as processor files name it. WebAssembly has no x86 instructions, whatever
# machine compiles it.
if(EMSCRIPTEN)
  set(QVL_PROCESSOR wasm32)
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
  set(QVL_PROCESSOR x86_64)
else()
  string(TOLOWER "${CMAKE_SYSTEM_PROCESSOR}" QVL_PROCESSOR)
endif()

# The suffixes the rule knows; a file with any other suffix is portable. A file for a new
# processor adds its name here.
set(QVL_SYSTEM_SUFFIXES posix windows web)
set(QVL_PROCESSOR_SUFFIXES x86_64 generic)

# qvl_select_platform_sources(<out> SYSTEM <system> PROCESSOR <processor> FILES <file>...)
# The rule itself, on a list of file names: sets <out> to the files the given system and
# processor build, in the order given.
function(qvl_select_platform_sources out)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "SYSTEM;PROCESSOR" "FILES")
  list(JOIN QVL_SYSTEM_SUFFIXES "|" systems)
  list(JOIN QVL_PROCESSOR_SUFFIXES "|" processors)
  set(selected "")
  foreach(file ${arg_FILES})
    if(file MATCHES "^(.+)_(${systems})\\.cpp$")
      set(stem ${CMAKE_MATCH_1})
      set(chosen ${stem}_${arg_SYSTEM}.cpp)
      if(arg_SYSTEM STREQUAL "web" AND NOT chosen IN_LIST arg_FILES)
        set(chosen ${stem}_posix.cpp)
      endif()
      if(file STREQUAL chosen)
        list(APPEND selected ${file})
      endif()
    elseif(file MATCHES "^(.+)_(${processors})\\.cpp$")
      set(stem ${CMAKE_MATCH_1})
      if(NOT ${stem}_generic.cpp IN_LIST arg_FILES)
        message(FATAL_ERROR "${file} has no ${stem}_generic.cpp for the other processors")
      endif()
      set(chosen ${stem}_${arg_PROCESSOR}.cpp)
      if(NOT chosen IN_LIST arg_FILES)
        set(chosen ${stem}_generic.cpp)
      endif()
      if(file STREQUAL chosen)
        list(APPEND selected ${file})
      endif()
    else()
      list(APPEND selected ${file})
    endif()
  endforeach()
  set(${out} ${selected} PARENT_SCOPE)
endfunction()

# qvl_platform_sources(<out> <folder or file>...)
# The .cpp files of each folder (relative to the calling CMakeLists.txt, not its subfolders)
# and the files named, chosen by the rule for this build's system and processor.
function(qvl_platform_sources out)
  set(files "")
  foreach(item ${ARGN})
    get_filename_component(path ${item} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    if(IS_DIRECTORY ${path})
      file(GLOB found CONFIGURE_DEPENDS ${path}/*.cpp)
      list(APPEND files ${found})
    else()
      list(APPEND files ${path})
    endif()
  endforeach()
  qvl_select_platform_sources(selected SYSTEM ${QVL_PLATFORM} PROCESSOR ${QVL_PROCESSOR} FILES ${files})
  set(${out} ${selected} PARENT_SCOPE)
endfunction()
