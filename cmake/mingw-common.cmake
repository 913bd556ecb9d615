# What both MinGW-w64 toolchain files share (posix threads), for the target
# named by PRISMORA_MINGW_TRIPLE; tests run under Wine, through wine-run.sh,
# which picks the Wine loader of each program's width.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${PRISMORA_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PRISMORA_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${PRISMORA_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${PRISMORA_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# `ctest` in the build folder runs every Windows test executable under Wine.
find_program(PRISMORA_WINE NAMES wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR bash ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
