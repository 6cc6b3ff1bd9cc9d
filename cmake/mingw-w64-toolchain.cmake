# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (posix threads, so std::thread
# works) and runs the results under Wine. The libraries built for Windows (SQLite,
# GoogleTest) live in a prefix outside the work tree: VARNIX_WINDOWS_PREFIX; Qt for
# Windows, when given, in VARNIX_QT_PREFIX (scripts/windows/build-qt), with the installed
# Linux Qt as its host tools.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VARNIX_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VARNIX_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VARNIX_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${VARNIX_MINGW}-windres)

if(NOT VARNIX_WINDOWS_PREFIX AND DEFINED ENV{VARNIX_WINDOWS_PREFIX})
    set(VARNIX_WINDOWS_PREFIX $ENV{VARNIX_WINDOWS_PREFIX})
endif()
set(VARNIX_WINDOWS_PREFIX "${VARNIX_WINDOWS_PREFIX}" CACHE PATH
    "Prefix of the libraries built for Windows")
if(NOT VARNIX_QT_PREFIX AND DEFINED ENV{VARNIX_QT_PREFIX})
    set(VARNIX_QT_PREFIX $ENV{VARNIX_QT_PREFIX})
endif()
set(VARNIX_QT_PREFIX "${VARNIX_QT_PREFIX}" CACHE PATH "Prefix of Qt built for Windows")
# try_compile projects see only what is listed here.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VARNIX_WINDOWS_PREFIX VARNIX_QT_PREFIX)

set(CMAKE_FIND_ROOT_PATH /usr/${VARNIX_MINGW} ${VARNIX_WINDOWS_PREFIX} ${VARNIX_QT_PREFIX})
set(CMAKE_PREFIX_PATH ${VARNIX_WINDOWS_PREFIX} ${VARNIX_QT_PREFIX})
if(VARNIX_QT_PREFIX)
    set(QT_HOST_PATH /usr)
    set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static runtime: the programs need no libstdc++, libgcc or winpthread DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Test programs (and GoogleTest's discovery) run through Wine's 64-bit loader.
get_filename_component(VARNIX_SOURCE_ROOT "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${VARNIX_SOURCE_ROOT}/scripts/windows/wine-run)
