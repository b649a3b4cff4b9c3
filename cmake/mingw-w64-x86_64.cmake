# Cross build for 64-bit Windows with Debian's mingw-w64 compilers. Programs are linked statically
# so that they import nothing but the system's own DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QX17_MINGW_TRIPLET x86_64-w64-mingw32)
# The posix threading flavour: GoogleTest needs std::mutex, which the win32 flavour of GCC 12 lacks.
set(CMAKE_C_COMPILER ${QX17_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QX17_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${QX17_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QX17_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Tests and test discovery run the programs under Wine.
find_program(QX17_WINE NAMES wine wine64)
if(QX17_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QX17_WINE})
endif()
