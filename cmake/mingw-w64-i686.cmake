# Cross-compiling for 32-bit Windows with Debian's MinGW-w64; see
# mingw-w64-x86_64.cmake. Running the programs needs a 32-bit Wine.
set(RAVO_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
