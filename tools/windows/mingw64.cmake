# Cross toolchain for 64-bit Windows: MinGW-w64 with POSIX threads (Debian's
# g++-mingw-w64-x86-64-posix). KORVID_WIN_QT names the target Qt, KORVID_WIN_GTEST the
# GoogleTest built for the target; libraries and packages are looked up there and in MinGW's
# own tree only, never among the host's.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(KORVID_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KORVID_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KORVID_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${KORVID_MINGW}-windres)
set(CMAKE_AR ${KORVID_MINGW}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${KORVID_MINGW}-gcc-ranlib-posix CACHE FILEPATH "")
set(CMAKE_OBJDUMP ${KORVID_MINGW}-objdump CACHE FILEPATH "")

# Qt's moc, rcc and uic run on the host: Debian's own Qt of the same version.
set(QT_HOST_PATH /usr CACHE PATH "")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${KORVID_MINGW} ${KORVID_WIN_QT} ${KORVID_WIN_GTEST})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# try_compile projects see the same roots.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KORVID_WIN_QT KORVID_WIN_GTEST)
