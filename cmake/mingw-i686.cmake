# Cross build for 32-bit Windows with MinGW-w64: the screen saver's first
# target. Tests run under Wine's 32-bit loader (emulated where the kernel
# refuses 32-bit programs).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(PRISMORA_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
