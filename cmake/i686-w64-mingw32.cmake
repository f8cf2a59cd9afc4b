# Toolchain file for the 32-bit Windows DLLs: the i686 MinGW-w64 cross
# compiler (Debian: apt-get install -y g++-mingw-w64-i686).
#
#   cmake -S . -B build-win32 --toolchain cmake/i686-w64-mingw32.cmake
set(CMAKE_SYSTEM_PROCESSOR x86)
set(LUMTRAX_MINGW_TRIPLET i686-w64-mingw32)
set(LUMTRAX_MINGW_PACKAGE_HINT "Debian: apt-get install -y g++-mingw-w64-i686")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
