# Cross build for 64-bit Windows with Debian's mingw-w64 posix-thread compilers.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TARNEL_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TARNEL_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TARNEL_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TARNEL_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TARNEL_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Only the 64-bit half of Wine can run on these machines.
set(TARNEL_CAN_RUN ON)
