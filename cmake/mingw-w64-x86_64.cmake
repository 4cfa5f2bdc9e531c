# Cross-build for 64-bit Windows with Debian's MinGW-w64 (POSIX threads) against the
# prebuilt Qt and SQLite that scripts/windows.sh unpacks into build/windows-sdk (or where
# QVR_WINDOWS_SDK points). Qt's host tools (moc, rcc, uic) come from Debian's Qt 6.4.2.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${_triple}-windres)
set(CMAKE_AR ${_triple}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${_triple}-gcc-ranlib-posix CACHE FILEPATH "")

if(DEFINED ENV{QVR_WINDOWS_SDK})
  set(QVR_WINDOWS_SDK $ENV{QVR_WINDOWS_SDK})
else()
  get_filename_component(QVR_WINDOWS_SDK ${CMAKE_CURRENT_LIST_DIR}/../build/windows-sdk ABSOLUTE)
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${_triple} ${QVR_WINDOWS_SDK}/qt6-mingw ${QVR_WINDOWS_SDK}/sqlite-mingw)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(QT_HOST_PATH /usr CACHE PATH "")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "")
set(SQLite3_INCLUDE_DIR ${QVR_WINDOWS_SDK}/sqlite-mingw/include CACHE PATH "")
set(SQLite3_LIBRARY ${QVR_WINDOWS_SDK}/sqlite-mingw/lib/libsqlite3.dll.a CACHE FILEPATH "")

# CTest and build steps run the Windows programs under Wine (scripts/windows.sh sets up
# its prefix and search path).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
