# Cross build for 64-bit Windows with MinGW-w64: the same sources as the
# 32-bit build. Tests run natively under wine64.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(PRISMORA_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
