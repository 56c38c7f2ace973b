# Cross build for 64-bit Windows; its programs run under 64-bit Wine.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TARNEL_TRIPLE x86_64-w64-mingw32)
set(TARNEL_WINE_LOADER /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
