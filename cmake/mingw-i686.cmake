# Cross build for 32-bit Windows with Debian's mingw-w64 posix-thread compilers.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TARNEL_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER ${TARNEL_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TARNEL_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TARNEL_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TARNEL_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Built and linked in every run; its tests cannot execute here.
set(TARNEL_CAN_RUN OFF)
