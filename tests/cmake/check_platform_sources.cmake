cmake_minimum_required(VERSION 3.20)
# The rule that picks a folder's files for a system and a processor (cmake/platform_sources.cmake),
# on made-up folders, and on the tree's own folders: every system builds one MusicOutput and one
# way to open data files. Run as
#   cmake -DSOURCE_DIR=<top of the tree> -P check_platform_sources.cmake
include(${SOURCE_DIR}/cmake/platform_sources.cmake)

set(failures "")
function(expect system processor files expected)
  qvl_select_platform_sources(got SYSTEM ${system} PROCESSOR ${processor} FILES ${files})
  if(NOT "${got}" STREQUAL "${expected}")
    set(failures "${failures}  ${system}/${processor}: got [${got}], expected [${expected}]\n" PARENT_SCOPE)
  endif()
endfunction()

set(folder a.cpp b_posix.cpp b_windows.cpp c_posix.cpp c_windows.cpp c_web.cpp d_windows.cpp
           e_x86_64.cpp e_generic.cpp window_layout.cpp windows_console.cpp)
expect(posix x86_64 "${folder}" "a.cpp;b_posix.cpp;c_posix.cpp;e_x86_64.cpp;window_layout.cpp;windows_console.cpp")
expect(windows x86_64 "${folder}" "a.cpp;b_windows.cpp;c_windows.cpp;d_windows.cpp;e_x86_64.cpp;window_layout.cpp;windows_console.cpp")
# The web takes its own file, else the POSIX one; never a Windows one, and the generic loops.
expect(web wasm32 "${folder}" "a.cpp;b_posix.cpp;c_web.cpp;e_generic.cpp;window_layout.cpp;windows_console.cpp")
expect(posix aarch64 "${folder}" "a.cpp;b_posix.cpp;c_posix.cpp;e_generic.cpp;window_layout.cpp;windows_console.cpp")
# Paths with folders, and a stem that is itself a suffix's word.
expect(windows x86_64 "/s/web/x_posix.cpp;/s/web/x_windows.cpp;/s/posix.cpp" "/s/web/x_windows.cpp;/s/posix.cpp")

# The tree's own folders.
function(expect_tree system processor folder names)
  file(GLOB files ${SOURCE_DIR}/${folder}/*.cpp)
  qvl_select_platform_sources(got SYSTEM ${system} PROCESSOR ${processor} FILES ${files})
  foreach(name ${names})
    if(NOT ${SOURCE_DIR}/${folder}/${name} IN_LIST got)
      set(failures "${failures}  ${system}/${processor}: ${folder}/${name} not chosen\n" PARENT_SCOPE)
    endif()
  endforeach()
  list(FILTER got INCLUDE REGEX "_(posix|windows|web|x86_64|generic)\\.cpp$")
  list(LENGTH got count)
  list(LENGTH names expected)
  if(NOT count EQUAL expected)
    set(failures "${failures}  ${system}/${processor}: ${folder} chose [${got}]\n" PARENT_SCOPE)
  endif()
endfunction()
expect_tree(posix x86_64 demo/audio "music_output_posix.cpp")
expect_tree(windows x86_64 demo/audio "music_output_windows.cpp;mp3_acm_decoder_windows.cpp")
expect_tree(web wasm32 demo/audio "music_output_web.cpp")
expect_tree(web wasm32 demo "data_directory_posix.cpp;data_file_system_posix.cpp;tcp_link_posix.cpp")
expect_tree(windows x86_64 quorvel4/src
            "debug_windows.cpp;display_signals_windows.cpp;raster_x86_64.cpp;terminal_encoder_x86_64.cpp")
expect_tree(web wasm32 quorvel4/src
            "debug_posix.cpp;display_signals_posix.cpp;raster_generic.cpp;terminal_encoder_generic.cpp")

if(failures)
  message(FATAL_ERROR "The platform file rule chose wrongly:\n${failures}")
endif()
