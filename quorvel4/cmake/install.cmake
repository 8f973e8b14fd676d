# What `cmake --install` puts under its prefix, for programs built outside this tree:
#   include/quorvel4/*.h                          the public headers
#   lib/libquorvel4.so.VERSION (+ SONAME link)    the core, shared
#   lib/libquorvel4.a                             the core, static
#   lib/libquorvel4-backend-NAME.a                one archive per back end
#   lib/cmake/quorvel4/                           find_package(quorvel4): quorvel4::quorvel4,
#                                                 quorvel4::quorvel4_static, quorvel4::backend_NAME,
#                                                 quorvel4::backends (every back end installed)
#   lib/pkgconfig/quorvel4.pc                     the core with the back ends that need nothing else
#   lib/pkgconfig/quorvel4-NAME.pc                a back end that links a library of its own
#                                                 (the window's, on SDL2)
#
# A back end adds itself to the table from a static initialiser, and nothing refers to it by
# name: a linker that takes only the referenced members of an archive would drop it. So the
# back-end archives are always linked whole (--whole-archive), by the CMake targets and by
# the pkg-config flags alike.
#
# Install components: the shared library is "runtime" (libquorvel4-1), everything else here is
# "dev" (libquorvel4-dev), but for a back end that links a library of its own: its archive,
# CMake targets and pkg-config file are "backend_NAME" (libquorvel4-NAME-dev), so that a
# terminal-only program does not bring SDL2's development files along (some 150 packages).
include(CMakePackageConfigHelpers)

add_library(quorvel4_shared SHARED $<TARGET_OBJECTS:quorvel4_objects>)
qvl_core_usage(quorvel4_shared)
set_target_properties(quorvel4_shared PROPERTIES
  OUTPUT_NAME quorvel4 EXPORT_NAME quorvel4
  VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
set_target_properties(quorvel4 PROPERTIES EXPORT_NAME quorvel4_static)

# Every installed back end, for find_package users; its property QVL_PKG_LIBS collects the
# back ends' archives for quorvel4.pc.
add_library(quorvel4_backends INTERFACE)
set_target_properties(quorvel4_backends PROPERTIES EXPORT_NAME backends)

install(TARGETS quorvel4 quorvel4_shared quorvel4_backends EXPORT quorvel4Targets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev)
install(DIRECTORY include/quorvel4 DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev)

# The back end's objects as an installed archive, and the target that links it whole.
function(qvl_install_backend name)
  add_library(quorvel4_backend_${name} STATIC $<TARGET_OBJECTS:qvl_backend_${name}>)
  set_target_properties(quorvel4_backend_${name} PROPERTIES
    OUTPUT_NAME quorvel4-backend-${name} EXPORT_NAME backend_${name}_archive)
  target_link_libraries(quorvel4_backend_${name} INTERFACE quorvel4_shared)
  # What the back end links besides the core comes along: pkg-config modules, found again by
  # the installed CMake package and required by quorvel4.pc.
  get_target_property(modules qvl_backend_${name} QVL_PKG_MODULES)
  set(find "")
  set(requires "quorvel4")
  if(modules)
    string(APPEND find "include(CMakeFindDependencyMacro)\nfind_dependency(PkgConfig)\n")
    foreach(module ${modules})
      string(REPLACE ":" ";" parts ${module})
      list(GET parts 0 prefix)
      list(GET parts 1 pc_name)
      target_link_libraries(quorvel4_backend_${name} INTERFACE PkgConfig::${prefix})
      string(APPEND requires ", ${pc_name}")
      string(APPEND find "if(NOT TARGET PkgConfig::${prefix})\n"
                         "  pkg_check_modules(${prefix} REQUIRED IMPORTED_TARGET ${pc_name})\n"
                         "endif()\n")
    endforeach()
  endif()
  add_library(quorvel4_backend_${name}_whole INTERFACE)
  set_target_properties(quorvel4_backend_${name}_whole PROPERTIES EXPORT_NAME backend_${name})
  # The export does not rename targets inside $<LINK_LIBRARY>: name the installed one.
  target_link_libraries(quorvel4_backend_${name}_whole INTERFACE
    "$<BUILD_INTERFACE:$<LINK_LIBRARY:WHOLE_ARCHIVE,quorvel4_backend_${name}>>"
    "$<INSTALL_INTERFACE:$<LINK_LIBRARY:WHOLE_ARCHIVE,quorvel4::backend_${name}_archive>>")
  # A back end that uses another one's objects brings that one's archive along.
  get_target_property(links qvl_backend_${name} LINK_LIBRARIES)
  list(FILTER links INCLUDE REGEX "^qvl_backend_")
  foreach(link ${links})
    string(REGEX REPLACE "^qvl_backend_" "" other ${link})
    target_link_libraries(quorvel4_backend_${name}_whole INTERFACE quorvel4_backend_${other}_whole)
  endforeach()
  if(NOT modules)
    target_link_libraries(quorvel4_backends INTERFACE quorvel4_backend_${name}_whole)
    set_property(TARGET quorvel4_backends APPEND PROPERTY QVL_PKG_LIBS -lquorvel4-backend-${name})
    install(TARGETS quorvel4_backend_${name} quorvel4_backend_${name}_whole EXPORT quorvel4Targets
            ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev)
    return()
  endif()
  # A back end of its own: its targets in a file that quorvel4Config.cmake includes when it is
  # there (it adds the back end to quorvel4::backends), and quorvel4-NAME.pc.
  set(component backend_${name})
  set(targets quorvel4Backend_${name}Targets)
  install(TARGETS quorvel4_backend_${name} quorvel4_backend_${name}_whole EXPORT ${targets}
          ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT ${component})
  install(EXPORT ${targets} NAMESPACE quorvel4:: DESTINATION ${QVL_INSTALL_LIBDIR}/cmake/quorvel4 COMPONENT ${component})
  file(WRITE ${QVL_INSTALL_BINARY_DIR}/quorvel4-backend-${name}.cmake
       "# The ${name} back end (included by quorvel4Config.cmake): what it links, its targets.\n"
       "${find}"
       "include(\"\${CMAKE_CURRENT_LIST_DIR}/${targets}.cmake\")\n"
       "set_property(TARGET quorvel4::backends APPEND PROPERTY INTERFACE_LINK_LIBRARIES quorvel4::backend_${name})\n")
  install(FILES ${QVL_INSTALL_BINARY_DIR}/quorvel4-backend-${name}.cmake
          DESTINATION ${QVL_INSTALL_LIBDIR}/cmake/quorvel4 COMPONENT ${component})
  # One word: pkg-config drops flags it has already printed, and the core's file that comes
  # after this one repeats -Wl,--whole-archive.
  qvl_write_pc(quorvel4-${name} "The ${name} back end of quorvel4" "${requires}"
               "-L\${libdir} -Wl,--whole-archive,-lquorvel4-backend-${name},--no-whole-archive" ${component})
endfunction()

# NAME.pc, from a template written now and completed at install time: it names the prefix it
# is installed under, known only then (cmake --install --prefix, CPack's /usr), so that its
# flags are plain paths (-I/usr/include, which pkg-config leaves out as the system's own)
# rather than ones through the file's own folder that pkg-config prints unresolved.
function(qvl_write_pc name description requires libs component)
  if(requires)
    set(requires "Requires: ${requires}\n")
  endif()
  file(GENERATE OUTPUT ${QVL_INSTALL_BINARY_DIR}/${name}.pc.in CONTENT
"prefix=@QVL_PC_PREFIX@
libdir=\${prefix}/${QVL_INSTALL_LIBDIR}
includedir=\${prefix}/${QVL_INSTALL_INCLUDEDIR}

Name: ${name}
Description: ${description}
Version: ${PROJECT_VERSION}
${requires}Cflags: -I\${includedir} -ffp-contract=off
Libs: ${libs}
")
  install(CODE "
    file(READ \"${QVL_INSTALL_BINARY_DIR}/${name}.pc.in\" pc)
    string(REPLACE \"@QVL_PC_PREFIX@\" \"\${CMAKE_INSTALL_PREFIX}\" pc \"\${pc}\")
    file(WRITE \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${QVL_INSTALL_LIBDIR}/pkgconfig/${name}.pc\" \"\${pc}\")
    message(STATUS \"Installing: \$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${QVL_INSTALL_LIBDIR}/pkgconfig/${name}.pc\")
  " COMPONENT ${component})
endfunction()

# Once the whole tree is configured, every back end is installed. One that links libraries of
# its own (the window back end on SDL2) names them as pkg-config modules in its property
# QVL_PKG_MODULES ("PREFIX:module", PkgConfig::PREFIX being the target it links), so that its
# installed form links them too; one that links anything else stays in this tree, since its
# programs would be left with symbols nobody provides.
function(qvl_install_backends)
  get_property(backends GLOBAL PROPERTY QVL_BACKENDS)
  foreach(target ${backends})
    string(REGEX REPLACE "^qvl_backend_" "" name ${target})
    get_target_property(links ${target} LINK_LIBRARIES)
    get_target_property(modules ${target} QVL_PKG_MODULES)
    list(REMOVE_ITEM links quorvel4)
    list(FILTER links EXCLUDE REGEX "^qvl_backend_")
    if(modules)
      foreach(module ${modules})
        string(REGEX REPLACE ":.*$" "" prefix ${module})
        list(REMOVE_ITEM links PkgConfig::${prefix})
      endforeach()
    endif()
    if(links)
      message(STATUS "The ${name} back end links ${links}: it is not installed")
    else()
      qvl_install_backend(${name})
    endif()
  endforeach()
  qvl_write_package_files()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL qvl_install_backends)

set(QVL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/quorvel4)
install(EXPORT quorvel4Targets NAMESPACE quorvel4:: DESTINATION ${QVL_CMAKE_DIR} COMPONENT dev)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/quorvel4ConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/quorvel4Config.cmake ${CMAKE_CURRENT_BINARY_DIR}/quorvel4ConfigVersion.cmake
        DESTINATION ${QVL_CMAKE_DIR} COMPONENT dev)

# The CMake package and the pkg-config file, written once every back end has said what it
# links (pkg-config modules, found again by the CMake package and required by quorvel4.pc).
# The CMake package and the pkg-config file of the core with the back ends that need nothing
# else, written once every back end is known; a back end of its own package adds itself.
function(qvl_write_package_files)
  file(WRITE ${QVL_INSTALL_BINARY_DIR}/quorvel4Config.cmake
       "# The back-end targets link their archives whole, which needs CMake 3.24.\n"
       "cmake_minimum_required(VERSION 3.24)\n"
       "include(\"\${CMAKE_CURRENT_LIST_DIR}/quorvel4Targets.cmake\")\n"
       "# The back ends packaged on their own (the window's, libquorvel4-window-dev), where installed.\n"
       "file(GLOB quorvel4_backend_files \"\${CMAKE_CURRENT_LIST_DIR}/quorvel4-backend-*.cmake\")\n"
       "foreach(quorvel4_backend_file \${quorvel4_backend_files})\n"
       "  include(\${quorvel4_backend_file})\n"
       "endforeach()\n")
  set(libs "$<JOIN:$<TARGET_PROPERTY:quorvel4_backends,QVL_PKG_LIBS>, >")
  qvl_write_pc(quorvel4 "Console graphics in coloured character cells: converters, primitives, back ends" ""
               "-L\${libdir} -Wl,--whole-archive ${libs} -Wl,--no-whole-archive -lquorvel4" dev)
endfunction()
# The function runs deferred, in the top directory's scope: it reads these from the cache.
set(QVL_INSTALL_BINARY_DIR ${CMAKE_CURRENT_BINARY_DIR} CACHE INTERNAL "")
set(QVL_INSTALL_LIBDIR ${CMAKE_INSTALL_LIBDIR} CACHE INTERNAL "")
set(QVL_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR} CACHE INTERNAL "")
