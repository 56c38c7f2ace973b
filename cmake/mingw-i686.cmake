# Cross build for 32-bit Windows. Its programs run under 32-bit Wine, which on
# these machines needs the kernel to hand 32-bit programs to qemu's i386
# emulator (the test command sets that up).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TARNEL_TRIPLE i686-w64-mingw32)
set(TARNEL_WINE_LOADER /usr/lib/wine/wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
