# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (the POSIX
# thread model, which std::thread and std::jthread need). The programs are
# linked statically, so that they run without the compiler's DLLs; Wine, when
# installed, runs them during the build (the type database compiler) and
# under ctest.
set(RAVO_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
