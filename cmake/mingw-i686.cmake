# Cross build for 32-bit Windows: built and linked in every run; its tests
# cannot execute here.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TARNEL_TRIPLE i686-w64-mingw32)
set(TARNEL_CAN_RUN OFF)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
