# Cross-builds for 64-bit Windows with Debian's mingw-w64 compilers (posix threads) against the prefix that
# scripts/windows-toolchain.sh builds: Qt, libarchive and libcrypto for Windows. The host's own Qt provides
# moc, rcc and uic. The prefix is TRIVET_WINDOWS_PREFIX, from the cache or the environment.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

if(NOT TRIVET_WINDOWS_PREFIX)
    if(DEFINED ENV{TRIVET_WINDOWS_PREFIX})
        set(TRIVET_WINDOWS_PREFIX "$ENV{TRIVET_WINDOWS_PREFIX}")
    else()
        set(TRIVET_WINDOWS_PREFIX "$ENV{HOME}/.cache/trivet-windows-toolchain/prefix")
    endif()
endif()
set(TRIVET_WINDOWS_PREFIX "${TRIVET_WINDOWS_PREFIX}" CACHE PATH "The Windows toolchain's prefix")
# try_compile projects see only what is passed on.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TRIVET_WINDOWS_PREFIX)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 "${TRIVET_WINDOWS_PREFIX}")
set(CMAKE_PREFIX_PATH "${TRIVET_WINDOWS_PREFIX}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(QT_HOST_PATH /usr)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)
set(OPENSSL_ROOT_DIR "${TRIVET_WINDOWS_PREFIX}")

# Programs built here run under Wine: CTest and custom commands start them through this.
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh")
