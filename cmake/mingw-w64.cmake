# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (the posix-threads variant, so
# that std::thread and std::mutex are there). Use: cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QVL_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QVL_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QVL_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QVL_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QVL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The programs run on any Windows without MinGW's runtime DLLs next to them.
# No link time in the programs: two builds of one commit give the same bytes.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -Wl,--no-insert-timestamp")

# Tests run the programs under wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
