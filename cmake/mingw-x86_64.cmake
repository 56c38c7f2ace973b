# Cross build for 64-bit Windows. Only the 64-bit half of Wine can run on
# these machines, so this build's tests run.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TARNEL_TRIPLE x86_64-w64-mingw32)
set(TARNEL_CAN_RUN ON)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
