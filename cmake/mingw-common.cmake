# The posix thread model: the win32 one has no std::thread/std::mutex, which GoogleTest needs.
set(CMAKE_C_COMPILER ${TP_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TP_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TP_TRIPLE}-windres)
# Libraries Debian ships for Linux only are built for mingw by scripts/build-jpeg and build-libs.
get_filename_component(TP_DEPS_ROOT ${CMAKE_CURRENT_LIST_DIR}/../build/deps/mingw-${CMAKE_SYSTEM_PROCESSOR} ABSOLUTE)
set(CMAKE_FIND_ROOT_PATH ${TP_DEPS_ROOT} /usr/${TP_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Every exe is self-contained: nothing but Windows' own DLLs at run time.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
