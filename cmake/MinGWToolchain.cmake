# What both MinGW-w64 toolchains share; the including file sets QV_MINGW_TRIPLE and the processor.
# The posix thread model: its libstdc++ has std::mutex and friends; linked statically below.
find_program(CMAKE_CXX_COMPILER NAMES ${QV_MINGW_TRIPLE}-g++-posix ${QV_MINGW_TRIPLE}-g++ REQUIRED)
find_program(CMAKE_C_COMPILER NAMES ${QV_MINGW_TRIPLE}-gcc-posix ${QV_MINGW_TRIPLE}-gcc REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${QV_MINGW_TRIPLE}-windres REQUIRED)
find_program(QV_WIDL NAMES ${QV_MINGW_TRIPLE}-widl widl REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${QV_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Wine loads what we build without any MinGW runtime DLL beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# GCC 12 reports std::string copies inlined at -O2 and above as overlapping (GCC bug 105329).
set(CMAKE_CXX_FLAGS_INIT "-Wno-restrict")
