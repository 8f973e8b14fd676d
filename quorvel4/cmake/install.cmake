# What `cmake --install` puts under its prefix, for programs built outside this tree:
#   include/quorvel4/*.h                          the public headers
#   lib/libquorvel4.so.VERSION (+ SONAME link)    the core, shared
#   lib/libquorvel4.a                             the core, static
#   lib/libquorvel4-backend-NAME.a                one archive per back end
#   lib/cmake/quorvel4/                           find_package(quorvel4): quorvel4::quorvel4,
#                                                 quorvel4::quorvel4_static, quorvel4::backend_NAME,
#                                                 quorvel4::backends (every back end)
#   lib/pkgconfig/quorvel4.pc                     the core with every back end
#
# A back end adds itself to the table from a static initialiser, and nothing refers to it by
# name: a linker that takes only the referenced members of an archive would drop it. So the
# back-end archives are always linked whole (--whole-archive), by the CMake targets and by
# the pkg-config flags alike.
include(CMakePackageConfigHelpers)

add_library(quorvel4_shared SHARED ${QVL_CORE_SOURCES})
qvl_core_usage(quorvel4_shared)
set_target_properties(quorvel4_shared PROPERTIES
  OUTPUT_NAME quorvel4 EXPORT_NAME quorvel4 POSITION_INDEPENDENT_CODE ON
  VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
set_target_properties(quorvel4 PROPERTIES EXPORT_NAME quorvel4_static)

# Every installed back end, for find_package users; its property QVL_PKG_LIBS collects the
# back ends' archives for quorvel4.pc.
add_library(quorvel4_backends INTERFACE)
set_target_properties(quorvel4_backends PROPERTIES EXPORT_NAME backends)

install(TARGETS quorvel4 quorvel4_shared quorvel4_backends EXPORT quorvel4Targets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(DIRECTORY include/quorvel4 DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

# The back end's objects as an installed archive, and the target that links it whole.
function(qvl_install_backend name)
  add_library(quorvel4_backend_${name} STATIC $<TARGET_OBJECTS:qvl_backend_${name}>)
  set_target_properties(quorvel4_backend_${name} PROPERTIES
    OUTPUT_NAME quorvel4-backend-${name} EXPORT_NAME backend_${name}_archive)
  target_link_libraries(quorvel4_backend_${name} INTERFACE quorvel4_shared)
  add_library(quorvel4_backend_${name}_whole INTERFACE)
  set_target_properties(quorvel4_backend_${name}_whole PROPERTIES EXPORT_NAME backend_${name})
  # The export does not rename targets inside $<LINK_LIBRARY>: name the installed one.
  target_link_libraries(quorvel4_backend_${name}_whole INTERFACE
    "$<BUILD_INTERFACE:$<LINK_LIBRARY:WHOLE_ARCHIVE,quorvel4_backend_${name}>>"
    "$<INSTALL_INTERFACE:$<LINK_LIBRARY:WHOLE_ARCHIVE,quorvel4::backend_${name}_archive>>")
  # A back end that uses another one's objects (the terminal the shared signal handlers)
  # brings that one's archive along.
  get_target_property(links qvl_backend_${name} LINK_LIBRARIES)
  list(FILTER links INCLUDE REGEX "^qvl_backend_")
  foreach(link ${links})
    string(REGEX REPLACE "^qvl_backend_" "" other ${link})
    target_link_libraries(quorvel4_backend_${name}_whole INTERFACE quorvel4_backend_${other}_whole)
  endforeach()
  target_link_libraries(quorvel4_backends INTERFACE quorvel4_backend_${name}_whole)
  set_property(TARGET quorvel4_backends APPEND PROPERTY QVL_PKG_LIBS -lquorvel4-backend-${name})
  install(TARGETS quorvel4_backend_${name} quorvel4_backend_${name}_whole EXPORT quorvel4Targets
          ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
endfunction()

# Once the whole tree is configured, every back end that needs nothing but the core is
# installed. One that links libraries of its own (a window back end on SDL, say) stays in
# this tree until its installed form says what to link: the installed package would
# otherwise leave its programs with symbols nobody provides.
function(qvl_install_backends)
  get_property(backends GLOBAL PROPERTY QVL_BACKENDS)
  foreach(target ${backends})
    string(REGEX REPLACE "^qvl_backend_" "" name ${target})
    get_target_property(links ${target} LINK_LIBRARIES)
    list(REMOVE_ITEM links quorvel4)
    list(FILTER links EXCLUDE REGEX "^qvl_backend_")
    if(links)
      message(STATUS "The ${name} back end links ${links}: it is not installed")
    else()
      qvl_install_backend(${name})
    endif()
  endforeach()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL qvl_install_backends)

set(QVL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/quorvel4)
install(EXPORT quorvel4Targets NAMESPACE quorvel4:: DESTINATION ${QVL_CMAKE_DIR})
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/quorvel4Config.cmake
     "# The back-end targets link their archives whole, which needs CMake 3.24.\n"
     "cmake_minimum_required(VERSION 3.24)\n"
     "include(\"\${CMAKE_CURRENT_LIST_DIR}/quorvel4Targets.cmake\")\n")
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/quorvel4ConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/quorvel4Config.cmake ${CMAKE_CURRENT_BINARY_DIR}/quorvel4ConfigVersion.cmake
        DESTINATION ${QVL_CMAKE_DIR})

# The prefix is found from the file's own place, so `cmake --install --prefix` may move it.
file(RELATIVE_PATH QVL_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" QVL_PC_TO_PREFIX "${QVL_PC_TO_PREFIX}")
set(QVL_PC_LIBS "$<JOIN:$<TARGET_PROPERTY:quorvel4_backends,QVL_PKG_LIBS>, >")
file(GENERATE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/quorvel4.pc CONTENT
"prefix=\${pcfiledir}/${QVL_PC_TO_PREFIX}
libdir=\${prefix}/${CMAKE_INSTALL_LIBDIR}
includedir=\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}

Name: quorvel4
Description: Console graphics in coloured character cells: converters, primitives, back ends
Version: ${PROJECT_VERSION}
Cflags: -I\${includedir} -ffp-contract=off
Libs: -L\${libdir} -Wl,--whole-archive ${QVL_PC_LIBS} -Wl,--no-whole-archive -lquorvel4
")
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/quorvel4.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
