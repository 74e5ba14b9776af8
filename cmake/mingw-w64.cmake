# Cross build for 64-bit Windows with Debian's mingw-w64 (posix thread model, so std::thread and
# std::mutex exist). Everything is linked statically: no DLL travels with the programs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(FOLVAREK_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER   ${FOLVAREK_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${FOLVAREK_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER  ${FOLVAREK_MINGW}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${FOLVAREK_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# ctest runs the Windows test programs through Wine in the test prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
