# What both cross toolchains share: MinGW-w64 for CMAKE_SYSTEM_PROCESSOR, with the posix thread
# model (GoogleTest needs std::mutex), and the libraries and headers of that target only.
set(CMAKE_SYSTEM_NAME Windows)
set(KORVEX_TRIPLE ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)
set(CMAKE_C_COMPILER ${KORVEX_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KORVEX_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KORVEX_TRIPLE}-windres)
set(KORVEX_WIDL ${KORVEX_TRIPLE}-widl)
set(CMAKE_FIND_ROOT_PATH /usr/${KORVEX_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
