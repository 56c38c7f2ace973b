# Shared part of the two cross toolchains: Debian's mingw-w64 posix-thread
# compilers for TARNEL_TRIPLE, searching only the target's own root.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${TARNEL_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TARNEL_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TARNEL_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TARNEL_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
