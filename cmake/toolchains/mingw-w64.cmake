# Cross-builds the Windows x86-64 program on Linux with MinGW-w64 (the posix thread
# model, which std::thread needs) and runs its tests through Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUILL_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUILL_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUILL_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QUILL_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QUILL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained executable each: no MinGW runtime DLLs to ship or to find.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Wine runs the tests. Its prefix (about 700 MB) lives in the build folder, so a
# clean build starts from a fresh one and nothing touches the user's ~/.wine.
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_COMMAND} -E env WINEPREFIX=${CMAKE_BINARY_DIR}/wine-prefix WINEDEBUG=-all
    "WINEDLLOVERRIDES=mscoree,mshtml=" wine)
